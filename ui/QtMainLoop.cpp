#include "ui/QtMainLoop.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>

namespace tarvik::ui {
namespace {

// A zero or tiny period would spin the event loop; the shortest interval a
// window timer takes is 10 ms.
constexpr std::chrono::milliseconds kShortestPeriod{10};

}  // namespace

QtMainLoop::QtMainLoop(QObject* parent) : QObject(parent) {}

QtMainLoop::~QtMainLoop() {
    Close();
}

void QtMainLoop::StartTimer(int id, std::chrono::milliseconds period) {
    auto& timer = timers_[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        connect(timer.get(), &QTimer::timeout, this, [this, id] {
            if (tick_) tick_(id);
        });
    }
    timer->start(std::max(period, kShortestPeriod));
}

void QtMainLoop::StopTimer(int id) {
    const auto found = timers_.find(id);
    if (found != timers_.end()) found->second->stop();
}

bool QtMainLoop::IsGuiThread() const {
    return QThread::currentThread() == thread();
}

void QtMainLoop::Send(std::function<void()> work) {
    if (IsGuiThread()) {
        work();
        return;
    }
    auto finished = std::make_shared<bool>(false);
    std::unique_lock lock(gate_->mutex);
    if (gate_->closed) return;
    // Posted under the gate's lock: Close() takes it before this object goes,
    // so nothing is posted to a dying loop.
    QMetaObject::invokeMethod(
        this,
        [gate = gate_, finished, work = std::move(work)] {
            // Close() runs on this thread too, so a closed loop is seen here
            // before the work could touch what its released sender owned.
            {
                std::lock_guard check(gate->mutex);
                if (gate->closed) return;
            }
            work();
            {
                std::lock_guard done(gate->mutex);
                *finished = true;
            }
            gate->done.notify_all();
        },
        Qt::QueuedConnection);
    gate_->done.wait(lock, [&] { return *finished || gate_->closed; });
}

void QtMainLoop::Post(std::function<void()> work) {
    std::lock_guard lock(gate_->mutex);
    if (gate_->closed) return;
    QMetaObject::invokeMethod(
        this,
        [gate = gate_, work = std::move(work)] {
            {
                std::lock_guard check(gate->mutex);
                if (gate->closed) return;
            }
            work();
        },
        Qt::QueuedConnection);
}

void QtMainLoop::Close() {
    for (auto& [id, timer] : timers_) timer->stop();
    {
        std::lock_guard lock(gate_->mutex);
        gate_->closed = true;
    }
    gate_->done.notify_all();
}

bool QtMainLoop::IsTimerActive(int id) const {
    const auto found = timers_.find(id);
    return found != timers_.end() && found->second->isActive();
}

std::chrono::milliseconds QtMainLoop::TimerPeriod(int id) const {
    const auto found = timers_.find(id);
    if (found == timers_.end()) return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(found->second->interval());
}

}  // namespace tarvik::ui
