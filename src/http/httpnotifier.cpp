#include "http/httpnotifier.h"

#include <mutex>

namespace quorvel
{

namespace
{

std::mutex notifierMutex;
HttpNotifier *notifier = nullptr;
int notifierUsers = 0;

} // namespace

HttpNotifier::HttpNotifier()
{
    setObjectName(QStringLiteral("TAdvHttpWindow"));
}

HttpNotifier *HttpNotifier::acquire()
{
    std::lock_guard lock(notifierMutex);
    if (notifierUsers == 0)
        notifier = new HttpNotifier;
    ++notifierUsers;
    return notifier;
}

void HttpNotifier::release()
{
    HttpNotifier *doomed = nullptr;
    {
        std::lock_guard lock(notifierMutex);
        if (notifierUsers == 0)
            return;
        if (--notifierUsers == 0) {
            doomed = notifier;
            notifier = nullptr;
        }
    }
    delete doomed;
}

HttpNotifier *HttpNotifier::instance()
{
    std::lock_guard lock(notifierMutex);
    return notifier;
}

int HttpNotifier::count()
{
    std::lock_guard lock(notifierMutex);
    return notifierUsers;
}

} // namespace quorvel
