#include "http/net_component.h"

namespace vantrel {

NetComponent::NetComponent() : stack_(SocketStack::Acquire()) {}

NetComponent::~NetComponent() { SocketStack::Release(); }

void NetComponent::DoStatus(NetStatus status, const std::string& text) {
  if (on_status_) on_status_(*this, status, text);
}

void NetComponent::BeginWork(WorkMode mode, std::int64_t count_max) {
  if (on_work_begin_) on_work_begin_(*this, mode, count_max);
}

void NetComponent::DoWork(WorkMode mode, std::int64_t count) {
  if (on_work_) on_work_(*this, mode, count);
}

void NetComponent::EndWork(WorkMode mode) {
  if (on_work_end_) on_work_end_(*this, mode);
}

}  // namespace vantrel
