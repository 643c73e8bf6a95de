#include "app/windows/qt_event_loop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <exception>

namespace vantrel {

QtEventLoop::QtEventLoop() : context_(std::make_unique<QObject>()) {}

// Deleting the context removes the calls still queued to it; their tasks
// are destroyed unrun.
QtEventLoop::~QtEventLoop() {
  Quit();
  context_.reset();
}

void QtEventLoop::Quit() {
  {
    std::lock_guard lock(post_mutex_);
    quitting_ = true;
  }
  // Every task posted before the flag was set is in Qt's queue by now.
  if (IsLoopThread()) QCoreApplication::removePostedEvents(context_.get());
}

void QtEventLoop::Post(Task task) {
  std::lock_guard lock(post_mutex_);
  if (quitting_) return;
  QMetaObject::invokeMethod(
      context_.get(),
      [this, task = std::move(task)] {
        if (!quitting_) RunTask(task);
      },
      Qt::QueuedConnection);
}

EventLoop::DelayedTaskId QtEventLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
  DelayedTaskId id = 0;
  {
    std::lock_guard lock(mutex_);
    id = next_id_++;
    delayed_.emplace(id, std::move(task));
  }
  // Qt's timers belong to the thread that starts them: start it on ours.
  Post([this, delay, id] {
    QTimer::singleShot(delay, context_.get(), [this, id] { RunDelayed(id); });
  });
  return id;
}

void QtEventLoop::CancelDelayed(DelayedTaskId id) {
  std::lock_guard lock(mutex_);
  delayed_.erase(id);
}

bool QtEventLoop::IsLoopThread() const { return QThread::currentThread() == context_->thread(); }

void QtEventLoop::RunDelayed(DelayedTaskId id) {
  Task task;
  {
    std::lock_guard lock(mutex_);
    const auto found = delayed_.find(id);
    if (found == delayed_.end()) return;
    task = std::move(found->second);
    delayed_.erase(found);
  }
  if (!quitting_) RunTask(task);
}

}  // namespace vantrel
