#include "cli/checkresult.h"

namespace quorvel::cli
{

std::string_view kindName(ResultKind kind)
{
    switch (kind) {
    case ResultKind::Unchecked:
        return "unchecked";
    case ResultKind::Alive:
        return "alive";
    case ResultKind::Dead:
        return "dead";
    case ResultKind::Skipped:
        return "skipped";
    case ResultKind::Suspect:
        return "suspect";
    }
    return "unchecked";
}

std::string_view moveStateName(MoveState state)
{
    switch (state) {
    case MoveState::None:
        return "";
    case MoveState::Moved:
        return "moved";
    case MoveState::WouldMove:
        return "would-move";
    case MoveState::DestinationExists:
        return "exists";
    case MoveState::Failed:
        return "failed";
    case MoveState::NotTried:
        return "not-tried";
    case MoveState::SuspectStays:
        return "stays";
    case MoveState::Unconfirmed:
        return "unconfirmed";
    }
    return "";
}

} // namespace quorvel::cli
