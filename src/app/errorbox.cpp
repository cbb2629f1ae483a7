#include "app/errorbox.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <utility>

namespace quorvel
{

namespace
{

void showMessageBox(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ApplicationTitle), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

ErrorPresenter &currentPresenter()
{
    static ErrorPresenter presenter = showMessageBox;
    return presenter;
}

} // namespace

std::string withFullStop(const std::string &text)
{
    if (text.empty() || static_cast<unsigned char>(text.back()) <= '.')
        return text;
    return text + '.';
}

ErrorPresenter setErrorPresenter(ErrorPresenter presenter)
{
    ErrorPresenter previous = std::move(currentPresenter());
    currentPresenter() = presenter ? std::move(presenter) : ErrorPresenter(showMessageBox);
    return previous;
}

void showGeneralError(const std::string &text)
{
    currentPresenter()(QString::fromStdString(withFullStop(text)));
}

void runGuarded(const std::function<void()> &command)
{
    // The box is shown outside the catch blocks so that a presenter which itself throws, or a
    // handler run from the box's own event loop, never meets an exception still in flight.
    std::string error;
    try {
        command();
        return;
    } catch (const std::exception &e) {
        error = e.what();
    } catch (...) {
        error = "An unexpected error occurred";
    }
    showGeneralError(error);
}

} // namespace quorvel
