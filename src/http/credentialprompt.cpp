#include "http/credentialprompt.h"

#include <mutex>

namespace quorvel
{

namespace
{

// Installed on the GUI thread, read by whichever thread handles a request's 401 or 407.
std::mutex promptMutex;
CredentialPrompt installedPrompt;

} // namespace

void installCredentialPrompt(CredentialPrompt prompt)
{
    std::lock_guard lock(promptMutex);
    installedPrompt = std::move(prompt);
}

CredentialPrompt installedCredentialPrompt()
{
    std::lock_guard lock(promptMutex);
    return installedPrompt;
}

} // namespace quorvel
