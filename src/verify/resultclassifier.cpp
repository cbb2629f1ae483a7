#include "verify/resultclassifier.h"

#include "http/advhttp.h"
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

void classifyResponse(VerifyView &view, const StringList &headers)
{
    for (const std::string &line : notFoundFindings(headers.lines())) {
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
