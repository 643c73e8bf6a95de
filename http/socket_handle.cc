#include "http/socket_handle.h"

#include "http/net_errors.h"
#include "http/socket_error_text.h"
#include "http/socket_stack.h"

namespace vantrel {

void SocketHandle::Reset(bool reset_local) {
  Handle = -1;
  HandleAllocated = false;
  PeerIP.clear();
  PeerPort = 0;
  if (reset_local) {
    LocalIP.clear();
    LocalPort = 0;
  }
}

void SocketHandle::AllocateSocket(SocketStack& stack) {
  Handle = stack.CreateSocket();
  HandleAllocated = true;
}

void SocketHandle::Bind(SocketStack& stack) {
  stack.SetReuseAddress(Handle);
  try {
    stack.Bind(Handle, LocalIP, LocalPort);
  } catch (const SocketError& error) {
    if (error.LastError() == kWsaAddressInUse) {
      throw CouldNotBindSocketError(kCouldNotBindSocketMessage);
    }
    throw;
  }
  stack.LocalAddress(Handle, LocalIP, LocalPort);
}

void SocketHandle::Listen(SocketStack& stack, int backlog, int defer_accept_seconds) {
  stack.Listen(Handle, backlog);
  if (defer_accept_seconds > 0) stack.DeferAccept(Handle, defer_accept_seconds);
}

void SocketHandle::Accept(SocketStack& stack, int listening_handle) {
  Reset(true);
  Handle = stack.Accept(listening_handle, PeerIP, PeerPort);
  HandleAllocated = true;
  stack.LocalAddress(Handle, LocalIP, LocalPort);
}

bool SocketHandle::TryAccept(SocketStack& stack, int listening_handle) {
  Reset(true);
  const int accepted = stack.TryAccept(listening_handle, PeerIP, PeerPort);
  if (accepted < 0) return false;
  Handle = accepted;
  HandleAllocated = true;
  stack.LocalAddress(Handle, LocalIP, LocalPort);
  return true;
}

void SocketHandle::CloseSocket(SocketStack& stack, bool reset_local) {
  if (!HandleAllocated) return;
  stack.Close(Handle);
  Reset(reset_local);
}

SocketHandle& SocketHandles::Add() {
  SocketHandle& binding = items_.emplace_back();
  binding.LocalPort = default_port_;
  return binding;
}

}  // namespace vantrel
