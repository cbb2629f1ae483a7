#pragma once
// The result of one shortcut in a report. Reasons are open-ended texts, so that every kind
// carries its own (a suspect's reason is the deeper checks' own wording) without changing the
// writers.

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::cli
{

enum class ResultKind {
    Unchecked, // not reached: the run was interrupted first
    Alive,
    Dead,
    Skipped, // not an http(s) link, or a shortcut without a URL: never dead
    Suspect, // answered 2xx, but --deep found a dead page behind the answer
};

// "unchecked", "alive", "dead", "skipped", "suspect": the names reports use.
std::string_view kindName(ResultKind kind);

// Reasons, as reports print them.
namespace reason
{
inline constexpr std::string_view notFound = "404";       // dead: a 404 header line
inline constexpr std::string_view gone = "410";           // dead: a 410 answer (quorvel-check only)
inline constexpr std::string_view error = "error";        // dead: the request failed
inline constexpr std::string_view noPath = "no-path";     // skipped: the shortcut has no URL
inline constexpr std::string_view otherScheme = "scheme"; // skipped: not http or https
inline constexpr std::string_view httpOnly = "http-only"; // skipped: https with --http-only
inline constexpr std::string_view privateHost = "private"; // skipped: intranet or home address
inline constexpr std::string_view excluded = "excluded";   // skipped: --exclude matched
// Suspects carry the deeper checks' reasons: "soft 404", "moved to the home page", "parked".
} // namespace reason

enum class MoveState {
    None,
    Moved,
    WouldMove,         // --dry-run
    DestinationExists, // left in place: never overwritten
    Failed,            // left in place
    NotTried,          // the run was interrupted before this one
    SuspectStays,      // a suspect, moved only with --suspect-is-dead
    Unconfirmed,       // dead in fewer runs in a row than --confirm asks
};

std::string_view moveStateName(MoveState state);

struct CheckResult {
    ResultKind kind = ResultKind::Unchecked;
    std::string reason;
    std::string evidence; // what the verdict rests on, e.g. the 404 header line
    int status = 0;       // of the final response; 0 when none arrived
    std::uint32_t error = 0;
    std::string errorText;
    std::string finalUrl;
    std::string permanentUrl; // where the leading 301/308 redirects led
    int redirects = 0;
    bool bodyCut = false;
    long long milliseconds = -1; // -1: no request was made
    int tries = 0;               // requests made for the link, its retries included
    // Alive by the rule, but no try gave a verdict: every answer asked to come back later (429,
    // 503), or the network stopped answering before the link's last try.
    bool unverified = false;
    bool networkLost = false; // unverified because the network stopped answering
    bool hostVerdict = false; // decided by what its host's other links showed

    // Consecutive recorded runs, ending with this one, in which the link was dead; 0 when alive.
    int deadRuns = 0;
    std::string deadSince; // ISO 8601 time of the first of them; "" when alive

    MoveState move = MoveState::None;
    std::string moveTo;      // as the window shows names
    std::string moveToBytes; // its own bytes when they are not UTF-8, else ""
};

} // namespace quorvel::cli
