#include "widgets/searchlistbox.h"

TSearchListBox::TSearchListBox(QWidget *parent) : QListWidget(parent) {}

TSearchListBox::~TSearchListBox() = default;
