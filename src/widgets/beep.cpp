#include "widgets/beep.h"

#include <QApplication>

namespace quorvel
{

namespace
{

BeepHook &currentHook()
{
    static BeepHook hook;
    return hook;
}

} // namespace

void beep()
{
    if (currentHook())
        currentHook()();
    else
        QApplication::beep();
}

BeepHook setBeepHook(BeepHook hook)
{
    BeepHook previous = std::move(currentHook());
    currentHook() = std::move(hook);
    return previous;
}

} // namespace quorvel
