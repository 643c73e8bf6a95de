// How fast the server turns connections around: each iteration is one
// connection that is accepted, handed to a peer thread, answered and closed.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "http/peer_thread.h"
#include "http/tcp_server.h"

namespace vantrel {
namespace {

// Connects to the server, reads its answer to the end and closes.
bool RoundTrip(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  char buffer[64];
  ssize_t n = 0;
  while (ok && (n = read(fd, buffer, sizeof buffer)) > 0) {
  }
  ok = ok && n == 0;
  close(fd);
  return ok;
}

void BM_OneAnswerPerConnection(benchmark::State& state) {
  TcpServer server;
  server.SetOnExecute([](PeerThread& thread) {
    thread.Connection()->WriteText("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    thread.Connection()->CloseConnection();
  });
  server.Bindings().Add().LocalIP = "127.0.0.1";
  server.Bindings()[0].LocalPort = 0;
  server.SetActive(true);
  const int port = server.Bindings()[0].LocalPort;
  for (auto _ : state) {
    if (!RoundTrip(port)) state.SkipWithError("round trip failed");
  }
  state.SetItemsProcessed(state.iterations());
  server.SetActive(false);
}
BENCHMARK(BM_OneAnswerPerConnection)->UseRealTime();

}  // namespace
}  // namespace vantrel
