#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kLetGoAfter = std::chrono::seconds(8);

// A TCP socket bound to 127.0.0.1 on a free port; aborts the test program when that is impossible.
int BoundLoopbackSocket(int* port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) std::abort();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) std::abort();
  socklen_t length = sizeof address;
  if (::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) std::abort();
  *port = ntohs(address.sin_port);
  return s;
}

bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Mode mode, std::vector<std::string> responses)
    : mode_(mode), responses_(std::move(responses)) {
  listener_ = BoundLoopbackSocket(&port_);
  if (::listen(listener_, 4) != 0) std::abort();
  thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::string LoopbackHttpServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> LoopbackHttpServer::Requests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string LoopbackHttpServer::Response(std::string_view status, std::string_view body, std::string_view headers) {
  std::string r = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\nConnection: close\r\n" + std::string(headers) + "\r\n";
  r += body;
  return r;
}

void LoopbackHttpServer::Serve() {
  std::size_t index = 0;
  while (!stop_) {
    if (!WaitFor(listener_, POLLIN, 20)) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Handle(connection, index++);
    ::close(connection);
  }
}

void LoopbackHttpServer::Handle(int connection, std::size_t index) {
  const auto start = Clock::now();
  auto expired = [&] { return stop_ || Clock::now() - start > kLetGoAfter; };

  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && !expired()) {
    if (!WaitFor(connection, POLLIN, 20)) continue;
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    head.append(buffer, static_cast<std::size_t>(n));
  }
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head);
  }

  if (mode_ == Mode::kSilent) {
    while (!expired()) WaitFor(connection, 0, 20);
    return;
  }
  std::string pending = responses_.empty() ? std::string() : responses_[std::min(index, responses_.size() - 1)];
  const std::string filler(4096, ' ');
  while (!expired()) {
    if (pending.empty()) {
      if (mode_ != Mode::kEndless) break;
      pending = filler;
    }
    if (!WaitFor(connection, POLLOUT, 20)) continue;
    const ssize_t n = ::send(connection, pending.data(), pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (n < 0) return;  // the client went away
    pending.erase(0, static_cast<std::size_t>(n));
  }
  ::shutdown(connection, SHUT_WR);
}

RefusedPort::RefusedPort() { socket_ = BoundLoopbackSocket(&port_); }

RefusedPort::~RefusedPort() { ::close(socket_); }

std::string RefusedPort::Address() const { return "127.0.0.1:" + std::to_string(port_); }
