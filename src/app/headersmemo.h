#pragma once
// The box of the last response's header lines. While hidden it holds a new text aside and takes
// it when it is shown or read: laying a text out costs more than a whole request on a fast
// server, and a run fills the box once a link, where nobody sees it.

#include <QPlainTextEdit>
#include <optional>

namespace quorvel
{

class HeadersMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit HeadersMemo(QWidget *parent = nullptr);

    // As setPlainText and clear, held aside while the box is hidden.
    void showText(const QString &text);
    void clearText();
    // Puts a held text into the box; whoever reads or edits the box directly calls it first.
    void takeHeldText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::optional<QString> held_;
};

} // namespace quorvel
