#pragma once
// The box of the last response's header lines. A run fills it once a link, which on a fast
// server is thousands of times a second, and each fill lays the text out and paints it: more
// than the whole request costs. So a new text is held aside and put in at most every
// refreshMs while the box is shown, and not before it is shown while it is hidden. The last
// text always comes in, and reading the box through takeHeldText sees it at once.

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <optional>

namespace quorvel
{

class HeadersMemo : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int refreshMs = 40;

    explicit HeadersMemo(QWidget *parent = nullptr);

    // As setPlainText and clear, held aside as said above.
    void showText(const QString &text);
    void clearText();
    // Puts a held text into the box; whoever reads or edits the box directly calls it first.
    void takeHeldText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::optional<QString> held_;
    QElapsedTimer sinceFilled_;
    QTimer refresh_;
};

} // namespace quorvel
