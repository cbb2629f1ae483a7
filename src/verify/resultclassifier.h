#pragma once
// Deciding whether the current link is dead from the outcome of its request: a header line
// holding "HTTP/1.1 404" or "HTTP/1.0 404" (in any letter case), or any error of the request.

#include "http/stringlist.h"
#include "verify/deadlinkrule.h"

#include <string>
#include <vector>

namespace quorvel
{

class TAdvHttp;
class VerifyView;

// The response of the current link arrived: records a dead link and counts a 404 for every
// finding, appends " : " and the upper-cased line to the status text, and shows the headers.
void classifyResponse(VerifyView &view, const StringList &headers);

// The current link's request failed: logs the error text, counts an other error, records a
// dead link and cancels the request so that the component becomes idle.
void classifyError(VerifyView &view, TAdvHttp &http);

} // namespace quorvel
