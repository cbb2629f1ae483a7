#pragma once
// TAboutBox: the program's about box. Created hidden once at start-up, shown and hidden by its
// owner, never modal, kept above the other windows while shown.

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;

namespace quorvel
{

// The maker's web page: the link label shows it and a click opens it.
inline constexpr const char *MakerWebPage = "https://quorvel.example/";

class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    // How the web page is opened; tests replace it so that nothing is launched.
    using UrlOpener = std::function<void(const QUrl &)>;

    explicit TAboutBox(QWidget *parent = nullptr);
    ~TAboutBox() override;

    // Makes the box visible and brings it to the front; an already visible box only comes to
    // the front.
    void Show();

    void OKButtonClick();
    void ProductNameClick();

    // Replaces the opener and returns the previous one; an empty opener restores the default
    // (QDesktopServices::openUrl).
    static UrlOpener setUrlOpener(UrlOpener opener);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildControls();
    QLabel *addTextLabel(const char *name, const QString &text, int left, int top);
    void paintPicture();

    QWidget *Panel1 = nullptr;
    QWidget *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Comments = nullptr;
    QPushButton *OKButton = nullptr;
    QPixmap m_picture;
};

} // namespace quorvel
