#pragma once
// The system beep of the list boxes, behind one replaceable hook so that tests can hear it.

#include <functional>

namespace quorvel
{

using BeepHook = std::function<void()>;

// Sounds the beep through the current hook (QApplication::beep() unless replaced).
void beep();

// Replaces the hook and returns the previous one; an empty hook restores the system beep.
BeepHook setBeepHook(BeepHook hook);

} // namespace quorvel
