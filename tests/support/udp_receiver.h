// A loopback receiver of datagrams, and a way to make socket creation fail.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace udptest {

// Binds 127.0.0.1:port (0: any free port).
class Receiver {
 public:
  explicit Receiver(uint16_t port = 0) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~Receiver() { close(fd_); }
  bool bound() const { return bound_; }
  uint16_t port() const { return port_; }
  // The next datagram; "<none>" when nothing arrives within the time.
  std::string Next(int timeoutMs = 2000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1) return "<none>";
    std::string b(65536, '\0');
    ssize_t n = recv(fd_, b.data(), b.size(), 0);
    b.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return b;
  }

 private:
  int fd_;
  bool bound_ = false;
  uint16_t port_ = 0;
};

// While alive, no new descriptor can be had: socket() and open() fail.
class NoDescriptorsLeft {
 public:
  NoDescriptorsLeft() {
    int lowest = dup(0);
    close(lowest);
    getrlimit(RLIMIT_NOFILE, &old_);
    rlimit tight = old_;
    tight.rlim_cur = static_cast<rlim_t>(lowest);
    ok_ = lowest >= 0 && setrlimit(RLIMIT_NOFILE, &tight) == 0;
  }
  ~NoDescriptorsLeft() { setrlimit(RLIMIT_NOFILE, &old_); }
  bool ok() const { return ok_; }

 private:
  rlimit old_{};
  bool ok_ = false;
};

}  // namespace udptest
