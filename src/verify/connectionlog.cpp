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

std::string bodyCutLine(const TAdvHttp &http)
{
    switch (http.BodyCut()) {
    case TAdvHttp::TBodyCut::None:
        break;
    case TAdvHttp::TBodyCut::SizeLimit:
        return "Body cut short after " + std::to_string(TAdvHttp::MaxResponseSize >> 20) + " MiB";
    case TAdvHttp::TBodyCut::TimeLimit:
        return "Body cut short after " +
               std::to_string((http.RequestTimeLimit().count() + 500) / 1000) + " s";
    }
    return {};
}

} // namespace quorvel
