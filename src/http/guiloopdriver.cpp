// The Qt side of a loop-driven session: socket notifiers, one timer, and the turns they start.

#include "http/guiloopdriver.h"

#include <atomic>
#include <unordered_map>

#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

namespace quorvel
{

class GuiLoopDriver::Core : public QObject
{
public:
    Core()
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { runTurn(); });
    }

    std::function<void()> turn;
    // A turn is queued from another thread; one is enough however many wakes come before it.
    std::atomic<bool> woken{false};

    void runTurn()
    {
        turnSoon_ = false;
        if (turn)
            turn();
    }

    // A turn as soon as the loop comes round, without waking it through its event queue.
    void turnSoon()
    {
        turnSoon_ = true;
        timer_.start(0);
    }

    void watch(int socket, bool read, bool write)
    {
        // Notifiers are kept and reused: a number reused by a new socket is the same to them.
        Watched &watched = sockets_[socket];
        watched.readWanted = read;
        // Changing the watched set wakes the loop through its event queue, so a connection
        // kept alive between requests stays watched for reading; if it speaks meanwhile (the
        // server closes it), that once tells it to stop. A socket is always writable, so
        // writing is watched only while wanted.
        if (read)
            enable(watched.read, socket, QSocketNotifier::Read, true);
        enable(watched.write, socket, QSocketNotifier::Write, write);
    }

    void closing(int socket)
    {
        const auto found = sockets_.find(socket);
        if (found == sockets_.end())
            return;
        found->second.readWanted = false;
        for (QSocketNotifier *notifier : {found->second.read, found->second.write}) {
            if (notifier)
                notifier->setEnabled(false);
        }
    }

    void setTimer(std::optional<std::chrono::milliseconds> wait)
    {
        if (turnSoon_)
            timer_.start(0);
        else if (wait)
            timer_.start(*wait);
        else
            timer_.stop();
    }

private:
    struct Watched {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
        bool readWanted = false;
    };

    void enable(QSocketNotifier *&notifier, int socket, QSocketNotifier::Type type, bool wanted)
    {
        if (!notifier) {
            if (!wanted)
                return;
            notifier = new QSocketNotifier(socket, type, this);
            QObject::connect(notifier, &QSocketNotifier::activated, this,
                             [this, socket, type] { activated(socket, type); });
        }
        if (notifier->isEnabled() != wanted)
            notifier->setEnabled(wanted);
    }

    void activated(int socket, QSocketNotifier::Type type)
    {
        Watched &watched = sockets_[socket];
        if (type == QSocketNotifier::Read && !watched.readWanted) {
            watched.read->setEnabled(false);
            return;
        }
        runTurn();
    }

    QTimer timer_;
    bool turnSoon_ = false;
    std::unordered_map<int, Watched> sockets_;
};

GuiLoopDriver::GuiLoopDriver() : core_(new Core) {}

GuiLoopDriver::~GuiLoopDriver()
{
    // Also on its own thread: the destruction may come from within one of its signals, or from
    // within its turn, whose function must outlive the call.
    core_->deleteLater();
}

void GuiLoopDriver::start(std::function<void()> turn)
{
    core_->turn = std::move(turn);
}

bool GuiLoopDriver::onLoopThread() const
{
    return QThread::currentThread() == core_->thread();
}

void GuiLoopDriver::wake()
{
    if (onLoopThread()) {
        core_->turnSoon();
        return;
    }
    if (core_->woken.exchange(true))
        return;
    Core *core = core_;
    QMetaObject::invokeMethod(
        core_,
        [core] {
            core->woken = false;
            core->runTurn();
        },
        Qt::QueuedConnection);
}

void GuiLoopDriver::watch(int socket, bool read, bool write)
{
    if (onLoopThread()) {
        core_->watch(socket, read, write);
        return;
    }
    Core *core = core_;
    QMetaObject::invokeMethod(
        core_, [core, socket, read, write] { core->watch(socket, read, write); },
        Qt::QueuedConnection);
}

void GuiLoopDriver::closing(int socket)
{
    if (onLoopThread()) {
        core_->closing(socket);
        return;
    }
    Core *core = core_;
    QMetaObject::invokeMethod(
        core_, [core, socket] { core->closing(socket); }, Qt::QueuedConnection);
}

void GuiLoopDriver::setTimer(std::optional<std::chrono::milliseconds> wait)
{
    core_->setTimer(wait);
}

} // namespace quorvel
