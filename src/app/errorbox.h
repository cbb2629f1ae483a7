#pragma once
// The general error handler: every command handler and the main window's creation handler run
// through runGuarded, so an error ends that handler, is shown to the user, and the program goes
// on with its event loop. Qt must never see an exception leave a slot.

#include <QString>
#include <functional>
#include <string>

namespace quorvel
{

// The application title; the caption of the error box and of the main window.
inline constexpr const char *ApplicationTitle = "Quorvel";

// The text as the error box shows it: a full stop is appended when the last character comes
// after '.' in character-code order (bytes compared unsigned, so UTF-8 tails count as letters).
// An empty text stays empty: a lone full stop would tell the user nothing.
std::string withFullStop(const std::string &text);

// Shows one error to the user. The default presenter is a modal message box with the caption
// "Quorvel", the error icon and an OK button.
using ErrorPresenter = std::function<void(const QString &text)>;

// Replaces the presenter (tests record the texts instead of blocking on a modal box); an empty
// function restores the message box. Returns the presenter that was in place.
ErrorPresenter setErrorPresenter(ErrorPresenter presenter);

// Shows the text (full stop rule applied) through the current presenter.
void showGeneralError(const std::string &text);

// Runs command; any exception it throws is shown by showGeneralError and goes no further.
void runGuarded(const std::function<void()> &command);

} // namespace quorvel
