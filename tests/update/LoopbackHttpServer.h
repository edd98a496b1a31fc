#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// An HTTP server of the test's own on 127.0.0.1 (a free port), run by a thread of the test. It takes
// one connection at a time, records the request head, and then answers the n-th connection with
// the n-th response (the last one again for any further connection), stays silent, or sends its
// response followed by filler without end. Whatever it does, it lets go of a connection after a
// few seconds, so a client without a time-out fails its test instead of hanging it.
class LoopbackHttpServer {
 public:
  enum class Mode { kAnswer, kSilent, kEndless };

  LoopbackHttpServer(Mode mode, std::vector<std::string> responses);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // "127.0.0.1:port".
  std::string Address() const;
  // Request heads received so far, up to and including the blank line.
  std::vector<std::string> Requests() const;

  // A complete response with the given status line ("200 OK"), body and extra header lines.
  static std::string Response(std::string_view status, std::string_view body, std::string_view headers = "");

 private:
  void Serve();
  void Handle(int connection, std::size_t index);

  Mode mode_;
  std::vector<std::string> responses_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A loopback port bound but not listening, held for the object's lifetime: connecting is refused.
class RefusedPort {
 public:
  RefusedPort();
  ~RefusedPort();
  RefusedPort(const RefusedPort&) = delete;
  RefusedPort& operator=(const RefusedPort&) = delete;
  std::string Address() const;

 private:
  int socket_ = -1;
  int port_ = 0;
};
