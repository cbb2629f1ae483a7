#pragma once
// The lines of the connection log: one per progress notification of the current request.

#include <string>

namespace quorvel
{

class TAdvHttp;

enum class ProgressEvent {
    NameResolved,
    ConnectingToServer,
    ConnectedToServer,
    ReceivingResponse,
    IntermediateResponse,
    Redirect,
    DataAvailable,
    ClosingConnection,
    ConnectionClosed,
};

// What a progress line may show of the component's state at the time of the notification.
struct ProgressState {
    std::string serverAddress;
    std::string redirectURL;
    int bytesRead = 0;
};

std::string progressLine(ProgressEvent event, const ProgressState &state);
// The line for the component's current state.
std::string progressLine(ProgressEvent event, const TAdvHttp &http);

// The line that tells why a completed response's body was not read to its end (the component's
// size or time limit), or "" when it was read whole.
std::string bodyCutLine(const TAdvHttp &http);

} // namespace quorvel
