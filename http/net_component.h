// The base of every network component (servers and connections).
//
// A network component keeps the process-wide socket stack alive for as long
// as it exists, and carries the status and progress events. The events are
// raised on the thread that does the work (a connection's on its own
// thread); set them before the component is used from other threads.
#ifndef VANTREL_HTTP_NET_COMPONENT_H_
#define VANTREL_HTTP_NET_COMPONENT_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "http/socket_stack.h"

namespace vantrel {

class NetComponent;

enum class NetStatus {
  kResolving,
  kConnecting,
  kConnected,
  kDisconnecting,
  kDisconnected,
  kStatusText
};
enum class WorkMode { kRead, kWrite };

using StatusEvent =
    std::function<void(NetComponent& axSender, NetStatus axStatus, const std::string& status_text)>;
using WorkBeginEvent =
    std::function<void(NetComponent& sender, WorkMode work_mode, std::int64_t work_count_max)>;
using WorkEvent =
    std::function<void(NetComponent& sender, WorkMode work_mode, std::int64_t work_count)>;
using WorkEndEvent = std::function<void(NetComponent& sender, WorkMode work_mode)>;

class NetComponent {
 public:
  NetComponent();
  NetComponent(const NetComponent&) = delete;
  NetComponent& operator=(const NetComponent&) = delete;
  virtual ~NetComponent();

  // The process-wide socket stack; valid for the component's whole life.
  SocketStack& Stack() const { return stack_; }

  void SetOnStatus(StatusEvent handler) { on_status_ = std::move(handler); }
  void SetOnWorkBegin(WorkBeginEvent handler) { on_work_begin_ = std::move(handler); }
  void SetOnWork(WorkEvent handler) { on_work_ = std::move(handler); }
  void SetOnWorkEnd(WorkEndEvent handler) { on_work_end_ = std::move(handler); }

 protected:
  void DoStatus(NetStatus status, const std::string& text);
  // Lets callers skip building a status text nobody receives.
  bool HasStatusHandler() const { return static_cast<bool>(on_status_); }
  void BeginWork(WorkMode mode, std::int64_t count_max);
  void DoWork(WorkMode mode, std::int64_t count);
  void EndWork(WorkMode mode);

 private:
  SocketStack& stack_;  // Acquired in the constructor, released in the destructor.
  StatusEvent on_status_;
  WorkBeginEvent on_work_begin_;
  WorkEvent on_work_;
  WorkEndEvent on_work_end_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_NET_COMPONENT_H_
