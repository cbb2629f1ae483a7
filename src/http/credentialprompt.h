#pragma once
// What the component asks when a server or proxy wants a user name and password. The window
// installs its dialog at start-up, so the component itself needs no widgets.

#include <functional>
#include <string>

namespace quorvel
{

// Shown for host (proxy: whether a proxy asks): fills user and password and answers true, or
// answers false for cancel. Called on the GUI thread.
using CredentialPrompt = std::function<bool(const std::string &host, bool proxy, std::string &user,
                                            std::string &password)>;

// The prompt every component asks from now on. Without one (the default) a request that needs
// credentials gives up as it does when the prompt is cancelled.
void installCredentialPrompt(CredentialPrompt prompt);
// The prompt installed now; empty when there is none.
CredentialPrompt installedCredentialPrompt();

} // namespace quorvel
