#include "verify/connectionlog.h"

#include "http/advhttp.h"

namespace quorvel
{

std::string progressLine(ProgressEvent event, const ProgressState &state)
{
    switch (event) {
    case ProgressEvent::NameResolved:
        return "Address resolved...";
    case ProgressEvent::ConnectingToServer:
        return "Connecting to " + state.serverAddress;
    case ProgressEvent::ConnectedToServer:
        return "Connected to " + state.serverAddress;
    case ProgressEvent::ReceivingResponse:
        return "Receiving response...";
    case ProgressEvent::IntermediateResponse:
        return "Intermediate response...";
    case ProgressEvent::Redirect:
        return "Redirecting to " + state.redirectURL;
    case ProgressEvent::DataAvailable:
        return "Data available. Bytes: " + std::to_string(state.bytesRead);
    case ProgressEvent::ClosingConnection:
        return "Closing connection";
    case ProgressEvent::ConnectionClosed:
        return "Connection closed";
    }
    return {};
}

std::string progressLine(ProgressEvent event, const TAdvHttp &http)
{
    return progressLine(event,
                        ProgressState{http.ServerAddress(), http.RedirectURL(), http.BytesRead()});
}

} // namespace quorvel
