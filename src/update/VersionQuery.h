#pragma once

#include <cstddef>
#include <string>

// One HTTP request for the newest version number: GET /music/version/?file=tarvolin on the update
// server, user agent "Tarvolin", no proxy. It runs on the editor's thread, so it gives up after a
// few seconds and reads no more than a version reply can sensibly be.
struct VersionQuery {
  static constexpr const char* kPath = "/music/version/?file=tarvolin";
  static constexpr const char* kUserAgent = "Tarvolin";

  // "host" or "host:port"; anything else is refused without a request.
  std::string server;
  long connectTimeoutMs = 3000;
  long totalTimeoutMs = 6000;
  std::size_t maxReplyBytes = 16 * 1024;

  // The maker's update server, or the one TARVOLIN_UPDATE_SERVER names when that is set and not empty.
  static VersionQuery ForConfiguredServer();

  // False when this build has no HTTP client; every query then ends as if the server were unreachable.
  static bool Available();

  struct Result {
    // The transfer ran to its end (or to the reply limit); false for no connection, a refused
    // request, a time-out or a transfer broken off.
    bool completed = false;
    // The HTTP status of the last response, 0 when none arrived.
    long status = 0;
    // The body as far as it arrived, at most maxReplyBytes.
    std::string body;
    // The body was longer than maxReplyBytes and was cut there.
    bool cut = false;
  };

  // Runs the request synchronously; every connection is closed when it returns.
  Result Run() const;

  // The reply text that counts: the body of a completed transfer; nothing when the transfer failed
  // or the server answered with an error status and a text that is not a web page (so that a server
  // failure never reads as "up to date").
  static std::string ReplyText(const Result& result);
};
