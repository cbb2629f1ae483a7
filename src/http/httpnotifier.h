#pragma once
// The one hidden object shared by every component owned by a widget ("TAdvHttpWindow"), kept so
// that such components can be counted and found as before; handlers no longer pass through it.
// It lives on the thread that created it and exists while at least one such component does.

#include <QObject>

namespace quorvel
{

class HttpNotifier : public QObject
{
    Q_OBJECT

public:
    // Counts one more user; the first creates the notifier on the calling thread.
    static HttpNotifier *acquire();
    // Counts one user less; the last destroys the notifier.
    static void release();
    static HttpNotifier *instance();
    static int count();

private:
    HttpNotifier();
};

} // namespace quorvel
