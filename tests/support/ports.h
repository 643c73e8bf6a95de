// Loopback ports for tests: a free one to listen on, one held busy, and a
// quick check that something accepts connections.
#ifndef VANTREL_TESTS_SUPPORT_PORTS_H_
#define VANTREL_TESTS_SUPPORT_PORTS_H_

namespace vantrel::test {

// A port that no socket uses right now (the system picks it).
int FreePort();

// True when a TCP connection to 127.0.0.1:`port` is accepted.
bool CanConnect(int port);

// A socket listening on all addresses on a port of the system's choosing,
// so that a server trying that port finds it in use.
class ListeningSocket {
 public:
  ListeningSocket();
  ~ListeningSocket() { Close(); }
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  int Port() const { return port_; }
  void Close();

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace vantrel::test

#endif  // VANTREL_TESTS_SUPPORT_PORTS_H_
