#pragma once
// A captioned frame drawn the classic way: an etched line whose top runs through the middle of
// the caption. Children keep their positions relative to the frame's top-left corner.

#include <QGroupBox>

namespace quorvel
{

class CaptionFrame : public QGroupBox
{
    Q_OBJECT
public:
    CaptionFrame(const QString &caption, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvel
