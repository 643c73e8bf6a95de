#include "http/socket_stack.h"

#include <memory>
#include <mutex>

#include "http/platform_socket_stack.h"

namespace vantrel {
namespace {

// The process-wide instance and the number of components using it.
struct StackInstance {
  std::mutex mutex;
  int users = 0;                       // Guarded by mutex.
  std::unique_ptr<SocketStack> stack;  // Guarded by mutex; set iff users > 0.
};

StackInstance& Instance() {
  static StackInstance* instance = new StackInstance;  // Never freed: outlives every component.
  return *instance;
}

}  // namespace

SocketStack& SocketStack::Acquire() {
  StackInstance& instance = Instance();
  std::lock_guard<std::mutex> lock(instance.mutex);
  if (instance.users == 0) instance.stack = std::make_unique<PlatformSocketStack>();
  ++instance.users;
  return *instance.stack;
}

void SocketStack::Release() {
  StackInstance& instance = Instance();
  std::lock_guard<std::mutex> lock(instance.mutex);
  if (instance.users > 0 && --instance.users == 0) instance.stack.reset();
}

}  // namespace vantrel
