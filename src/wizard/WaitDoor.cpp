#include "wizard/WaitDoor.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <deque>
#include <utility>

namespace {

// Swallows what a person does while the program waits, so that a click on Next during a
// wait does nothing, neither now nor after the wait.
class CInputDiscarder : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && event->spontaneous()) {
            event->ignore(); // the window's close button: the wizard cannot close mid-wait
            return true;
        }
        return IsUserInput(event->type()) || QObject::eventFilter(watched, event);
    }

private:
    static bool IsUserInput(QEvent::Type type) {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
        }
    }
};

// The door's state: one user-interface thread per process.
struct DoorState {
    int depth = 0;
    std::deque<std::function<void()>> held;
    QPointer<CInputDiscarder> discarder;
};

DoorState& Door() {
    static DoorState door;
    return door;
}

void Drain() {
    DoorState& door = Door();
    // Popped before it runs: an item that opens a nested event loop (a message box) may
    // drain the rest itself, in the same order.
    while (door.depth == 0 && !door.held.empty()) {
        std::function<void()> item = std::move(door.held.front());
        door.held.pop_front();
        item();
    }
}

void Enter() {
    DoorState& door = Door();
    if (door.depth++ == 0) {
        if (door.discarder.isNull()) {
            door.discarder = new CInputDiscarder(QCoreApplication::instance());
        }
        QCoreApplication::instance()->installEventFilter(door.discarder);
    }
}

void Leave() {
    DoorState& door = Door();
    if (--door.depth > 0) {
        return;
    }
    if (!door.discarder.isNull()) {
        QCoreApplication::instance()->removeEventFilter(door.discarder);
    }
    if (!door.held.empty()) {
        // Queued rather than run here: the code that waited goes on first, as it would
        // after a blocking call, and the held items follow from the event loop.
        QMetaObject::invokeMethod(QCoreApplication::instance(), &Drain, Qt::QueuedConnection);
    }
}

} // namespace

void CWaitDoor::Deliver(std::function<void()> item) {
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (!item) {
        return;
    }
    DoorState& door = Door();
    door.held.push_back(std::move(item));
    Drain();
}

bool CWaitDoor::Wait(const std::function<bool()>& done, const std::function<bool()>& timeUp,
                     std::chrono::milliseconds poll) {
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    Enter();
    // Wakes the event dispatcher so the conditions are looked at every `poll` without
    // spinning; a wait may nest inside another, each with its own wake-up.
    QTimer wakeUp;
    wakeUp.setTimerType(Qt::PreciseTimer);
    wakeUp.start(std::max(poll, std::chrono::milliseconds(1)));
    bool result = false;
    for (;;) {
        if (done && done()) {
            result = true;
            break;
        }
        if (!timeUp || timeUp()) {
            result = done && done();
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    Leave();
    return result;
}

bool CWaitDoor::IsWaiting() {
    return Door().depth > 0;
}

std::size_t CWaitDoor::HeldCount() {
    return Door().held.size();
}
