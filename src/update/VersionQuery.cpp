#include "update/VersionQuery.h"

#include <cstdlib>

#include "update/MakerSite.h"

#if TARVOLIN_HAVE_LIBCURL
#include <curl/curl.h>

#include <memory>
#include <mutex>
#include <string_view>
#endif

namespace {

#if TARVOLIN_HAVE_LIBCURL

// A host name, an IPv4 address or a bracketed IPv6 address, optionally followed by ":port". Nothing
// that would let the text reach into the URL's path, query or user part.
bool IsServerText(std::string_view server) {
  if (server.empty() || server.size() > 255) return false;
  for (char c : server) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == ':' || c == '[' || c == ']';
    if (!ok) return false;
  }
  return true;
}

// libcurl's process-wide set-up, once per process and never undone: the host or another plug-in may
// use libcurl too, and its clean-up would pull the ground from under them.
bool InitialiseCurlOnce() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

struct Reception {
  std::string* body;
  std::size_t limit;
  bool cut = false;
  bool failed = false;
};

// Called from inside libcurl: nothing may be thrown through it.
std::size_t Receive(char* data, std::size_t size, std::size_t count, void* user) noexcept {
  auto* reception = static_cast<Reception*>(user);
  const std::size_t bytes = size * count;
  try {
    const std::size_t room = reception->limit - reception->body->size();
    if (bytes > room) {
      reception->body->append(data, room);
      reception->cut = true;
      return 0;  // ends the transfer
    }
    reception->body->append(data, bytes);
    return bytes;
  } catch (...) {
    reception->failed = true;
    return 0;
  }
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

#endif

}  // namespace

VersionQuery VersionQuery::ForConfiguredServer() {
  VersionQuery query;
  const char* named = std::getenv(maker::kUpdateServerVariable);
  query.server = named != nullptr && *named != '\0' ? named : maker::kUpdateServer;
  return query;
}

bool VersionQuery::Available() { return TARVOLIN_HAVE_LIBCURL != 0; }

std::string VersionQuery::ReplyText(const Result& result) {
  if (!result.completed) return {};
  if (result.status >= 400 && result.body.find('<') == std::string::npos) return {};
  return result.body;
}

#if TARVOLIN_HAVE_LIBCURL

VersionQuery::Result VersionQuery::Run() const {
  Result result;
  if (!IsServerText(server) || !InitialiseCurlOnce()) return result;
  const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) return result;
  CURL* e = easy.get();

  const std::string url = "http://" + server + kPath;
  Reception reception{&result.body, maxReplyBytes};
  bool set = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent) == CURLE_OK;
  // Direct access: no proxy, not even one named in the environment.
  set = set && curl_easy_setopt(e, CURLOPT_PROXY, "") == CURLE_OK;
  // No signals: they belong to the host process (the threaded resolver needs none for its time-out).
  set = set && curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs) == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, totalTimeoutMs) == CURLE_OK;
  // A moved version service is followed, as a browser would, but only over the web's own protocols.
  set = set && curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L) == CURLE_OK;
#if LIBCURL_VERSION_NUM >= 0x075500
  set = set && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
#else
  set = set && curl_easy_setopt(e, CURLOPT_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS) == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS, CURLPROTO_HTTP | CURLPROTO_HTTPS) == CURLE_OK;
#endif
  set = set && curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Receive) == CURLE_OK;
  set = set && curl_easy_setopt(e, CURLOPT_WRITEDATA, &reception) == CURLE_OK;
  if (!set) return result;

  const CURLcode code = curl_easy_perform(e);
  long status = 0;
  if (curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) result.status = status;
  result.cut = reception.cut;
  result.completed = !reception.failed && (code == CURLE_OK || (code == CURLE_WRITE_ERROR && reception.cut));
  return result;
}

#else

VersionQuery::Result VersionQuery::Run() const { return {}; }

#endif
