#include "verify/resultclassifier.h"

#include "http/advhttp.h"
#include "platform/asciitext.h"
#include "verify/verifyview.h"

namespace quorvel
{

namespace
{

void recordDeadLink(VerifyView &view)
{
    view.addDeadLink(view.currentName(), view.currentFile());
}

} // namespace

std::vector<std::string> notFoundFindings(const StringList &headers)
{
    std::vector<std::string> findings;
    for (const std::string &line : headers) {
        const std::string upper = platform::asciiUpper(line);
        // Both texts are looked for in every line, so one line can count twice.
        for (const char *text : {"HTTP/1.1 404", "HTTP/1.0 404"}) {
            if (upper.find(text) != std::string::npos)
                findings.push_back(upper);
        }
    }
    return findings;
}

void classifyResponse(VerifyView &view, const StringList &headers)
{
    for (const std::string &line : notFoundFindings(headers)) {
        recordDeadLink(view);
        ++view.notFoundCount();
        view.setCount404sText("404 count = " + std::to_string(view.notFoundCount()));
        view.showStatusText(view.currentStatusText() + " : " + line);
    }
    view.setHeaders(headers);
}

void classifyError(VerifyView &view, TAdvHttp &http)
{
    view.LogEvent(TAdvHttp::ErrorText(http.LastError()));
    ++view.otherErrorCount();
    view.setOtherErrorsText("Other errors = " + std::to_string(view.otherErrorCount()));
    recordDeadLink(view);
    http.Cancel();
}

} // namespace quorvel
