#include <stdlib.h>

#include <chrono>
#include <climits>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackHttpServer.h"
#include "update/MakerSite.h"
#include "update/UpdateCheck.h"
#include "update/VersionQuery.h"
#include "update/VersionReply.h"

namespace {

// Nothing in this test program may ask the maker's server: unless the environment already names a
// server, the check is pointed at a loopback port where nobody listens, before any test runs.
const bool kUpdateServerOnLoopback = [] {
  ::setenv(maker::kUpdateServerVariable, "127.0.0.1:1", 0);
  return true;
}();

bool IsLoopback(const std::string& server) { return server.rfind("127.0.0.1:", 0) == 0; }

// Short time-outs, so that the tests of a silent server take a fraction of a second.
VersionQuery LoopbackQuery(const std::string& address) {
  VersionQuery query;
  query.server = address;
  query.connectTimeoutMs = 1000;
  query.totalTimeoutMs = 1500;
  return query;
}

// Answers the questions as the test says and records every message and web page.
struct Prompts : UpdatePrompts {
  struct Message {
    std::string text, caption;
    int type;
  };
  int answer = kAnswerYes;
  std::vector<Message> messages;
  std::vector<std::vector<std::string>> pages;  // url, title, confirmation, failure text

  int ShowMessage(const std::string& text, const std::string& caption, int type) override {
    messages.push_back({text, caption, type});
    return type == kYesNo ? answer : 1;
  }
  bool OpenWebPage(const std::string& url, const std::string& title, const std::string& confirmation,
                   const std::string& failureText) override {
    pages.push_back({url, title, confirmation, failureText});
    return true;
  }
};

int Check(Prompts& prompts, const VersionQuery& query) {
  // Fails loudly rather than letting a test reach a server off this machine.
  if (!IsLoopback(query.server)) {
    ADD_FAILURE() << "a test asked " << query.server << " instead of a loopback server";
    return 99;
  }
  return update_check::CheckForUpdate(prompts, query);
}

std::string HeaderLine(const std::string& head, const std::string& name) {
  const std::size_t at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "(none)";
  const std::size_t from = at + 2;
  return head.substr(from, head.find("\r\n", from) - from);
}

const std::string kErrorText = "An error occurred while contacting stonemoormusic.com.";

struct Case {
  const char* what;
  std::vector<std::string> responses;
  int answer;
  int result;
  std::string text;  // the whole message, or for the new-version question the version it names
  int type;
  bool pageOpened;
};

}  // namespace

TEST(UpdateCheck, RepliesOfTheServerAreToldAsTheyMean) {
  if (!VersionQuery::Available()) GTEST_SKIP() << "built without an HTTP client";
  using R = LoopbackHttpServer;
  const std::string upToDate = "Your version is up to date.";
  const std::vector<Case> cases = {
      {"this version", {R::Response("200 OK", "1105")}, 6, 0, upToDate, 64, false},
      {"an older one", {R::Response("200 OK", "1000")}, 6, 0, upToDate, 64, false},
      {"no number counts as 0", {R::Response("200 OK", "latest")}, 6, 0, upToDate, 64, false},
      {"1106, yes", {R::Response("200 OK", "1106")}, 6, 0, "1.1.6", 4, true},
      {"1106, no", {R::Response("200 OK", "1106")}, 7, 0, "1.1.6", 4, false},
      {"1110 with a line end", {R::Response("200 OK", "1110\r\n")}, 6, 0, "1.1.10", 4, true},
      {"an HTML error page",
       {R::Response("404 Not Found", "<html><body>Not Found</body></html>")}, 6, -3,
       "Invalid call to stonemoormusic.com.", 16, false},
      {"an empty reply", {R::Response("200 OK", "")}, 6, -1, kErrorText, 16, false},
      // A server failure is not "up to date", and neither is half a number.
      {"a server error in plain text", {R::Response("503 Service Unavailable", "Service Unavailable")}, 6, -1,
       kErrorText, 16, false},
      {"a transfer broken off",
       {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n11"}, 6, -1, kErrorText, 16, false},
      {"a moved service",
       {R::Response("301 Moved Permanently", "", "Location: /music/version/moved\r\n"), R::Response("200 OK", "1107")},
       7, 0, "1.1.7", 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LoopbackHttpServer server(LoopbackHttpServer::Mode::kAnswer, c.responses);
    Prompts prompts;
    prompts.answer = c.answer;
    EXPECT_EQ(Check(prompts, LoopbackQuery(server.Address())), c.result);

    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), c.responses.size());
    const std::string& head = requests[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /music/version/?file=tarvolin HTTP/1.1");
    EXPECT_EQ(HeaderLine(head, "Host"), "Host: " + server.Address());
    EXPECT_EQ(HeaderLine(head, "User-Agent"), "User-Agent: Tarvolin");
    EXPECT_EQ(HeaderLine(head, "Accept"), "Accept: */*");
    if (requests.size() > 1) {
      EXPECT_EQ(requests[1].substr(0, requests[1].find("\r\n")), "GET /music/version/moved HTTP/1.1");
    }

    ASSERT_EQ(prompts.messages.size(), 1u);
    const Prompts::Message& m = prompts.messages[0];
    EXPECT_EQ(m.type, c.type);
    if (c.type == UpdatePrompts::kYesNo) {
      EXPECT_EQ(m.caption, "New Version of Tarvolin Detected");
      EXPECT_EQ(m.text, "A new version of Tarvolin is available.\n\n\tYour version: \t1.1.5\n\tNew version: \t" + c.text +
                            "\n\nDo you want to go to https://www.stonemoormusic.com to get the new version?");
    } else {
      EXPECT_EQ(m.caption, "Check Online for Update");
      EXPECT_EQ(m.text, c.text);
    }
    if (c.pageOpened) {
      ASSERT_EQ(prompts.pages.size(), 1u);
      EXPECT_EQ(prompts.pages[0], (std::vector<std::string>{maker::kDownloadPage, "", "", ""}));
    } else {
      EXPECT_TRUE(prompts.pages.empty());
    }
  }
}

// No answer at all: a port where nobody listens, a server that takes the connection and never
// answers (the time-out ends the wait), a server name that is not one. Each gives the error message.
// Without an HTTP client in the build, the silent server is not even contacted.
TEST(UpdateCheck, NoAnswerGivesTheErrorMessage) {
  using Clock = std::chrono::steady_clock;
  RefusedPort refused;
  LoopbackHttpServer silent(LoopbackHttpServer::Mode::kSilent, {});
  VersionQuery hanging = LoopbackQuery(silent.Address());
  hanging.totalTimeoutMs = 300;
  VersionQuery malformed = LoopbackQuery("127.0.0.1:1/elsewhere?x=");

  for (const VersionQuery& query : {LoopbackQuery(refused.Address()), hanging, malformed}) {
    SCOPED_TRACE(query.server);
    Prompts prompts;
    const auto start = Clock::now();
    EXPECT_EQ(Check(prompts, query), update_check::kNoReply);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kErrorText);
    EXPECT_EQ(prompts.messages[0].caption, "Check Online for Update");
    EXPECT_EQ(prompts.messages[0].type, UpdatePrompts::kError);
    EXPECT_TRUE(prompts.pages.empty());
  }
  EXPECT_EQ(silent.Requests().size(), VersionQuery::Available() ? 1u : 0u);
}

// A reply without end is read only up to the limit; what arrived by then counts.
TEST(UpdateCheck, AnEndlessReplyIsCutAtItsLimit) {
  if (!VersionQuery::Available()) GTEST_SKIP() << "built without an HTTP client";
  LoopbackHttpServer endless(LoopbackHttpServer::Mode::kEndless, {"HTTP/1.1 200 OK\r\n\r\n1110\n"});
  VersionQuery query = LoopbackQuery(endless.Address());
  query.maxReplyBytes = 5000;
  const VersionQuery::Result result = query.Run();
  EXPECT_TRUE(result.completed);
  EXPECT_TRUE(result.cut);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body.size(), 5000u);
  EXPECT_EQ(result.body.substr(0, 6), "1110\n ");

  Prompts prompts;
  prompts.answer = UpdatePrompts::kAnswerNo;
  EXPECT_EQ(Check(prompts, query), update_check::kReceived);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_NE(prompts.messages[0].text.find("\tNew version: \t1.1.10\n\n"), std::string::npos);
}

TEST(UpdateCheck, TheServerComesFromTheEnvironment) {
  if (!VersionQuery::Available()) GTEST_SKIP() << "built without an HTTP client";
  const char* before = std::getenv(maker::kUpdateServerVariable);
  ASSERT_TRUE(before != nullptr && IsLoopback(before)) << "the tests must not reach the maker's server";
  const std::string saved = before;

  LoopbackHttpServer server(LoopbackHttpServer::Mode::kAnswer, {LoopbackHttpServer::Response("200 OK", "1105")});
  ::setenv(maker::kUpdateServerVariable, server.Address().c_str(), 1);
  Prompts prompts;
  EXPECT_EQ(update_check::CheckForUpdate(prompts), update_check::kReceived);
  EXPECT_EQ(server.Requests().size(), 1u);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].text, "Your version is up to date.");

  // Empty counts as not set.
  ::setenv(maker::kUpdateServerVariable, "", 1);
  EXPECT_STREQ(VersionQuery::ForConfiguredServer().server.c_str(), maker::kUpdateServer);
  ::setenv(maker::kUpdateServerVariable, saved.c_str(), 1);
}

// Running out of memory, or any other failure inside the check, ends it with the error message and
// -2; nothing is thrown into the editor, not even when the error message itself fails.
TEST(UpdateCheck, AFailureInsideTheCheckEndsItWithTheErrorMessage) {
  struct Failing : Prompts {
    int failures;
    int ShowMessage(const std::string& text, const std::string& caption, int type) override {
      if (failures-- > 0) throw std::bad_alloc();
      return Prompts::ShowMessage(text, caption, type);
    }
  };
  Failing once;
  once.failures = 1;
  EXPECT_EQ(update_check::AnswerReply("1106", once), update_check::kUnexpectedFailure);
  ASSERT_EQ(once.messages.size(), 1u);
  EXPECT_EQ(once.messages[0].text, kErrorText);
  EXPECT_TRUE(once.pages.empty());

  Failing always;
  always.failures = INT_MAX;
  EXPECT_EQ(update_check::AnswerReply("1106", always), update_check::kUnexpectedFailure);
  EXPECT_EQ(update_check::AnswerReply("", always), update_check::kUnexpectedFailure);
}

TEST(VersionReply, NumbersAndTheVersionTheyName) {
  using K = VersionReply::Kind;
  struct Expect {
    const char* reply;
    K kind;
    long number;
    const char* text;
  };
  const Expect cases[] = {
      {"", K::kNoReply, 0, ""},
      {"1106<br>", K::kWebPage, 0, ""},
      {"1105", K::kUpToDate, 1105, ""},
      {" 1106", K::kUpToDate, 0, ""},  // the number must come first
      {"1106", K::kNewVersion, 1106, "1.1.6"},
      {"1110", K::kNewVersion, 1110, "1.1.10"},
      {"2000", K::kNewVersion, 2000, "2.0.0"},
      {"1106 \r\nnext line", K::kNewVersion, 1106, "1.1.6"},
      {"1106-beta", K::kNewVersion, 1106, "1.1.6-beta"},
      {"99999999999999999999999999", K::kNewVersion, LONG_MAX, "9.9.999999999999999999999999"},
  };
  for (const Expect& e : cases) {
    SCOPED_TRACE(e.reply);
    const VersionReply v = VersionReply::Evaluate(e.reply);
    EXPECT_EQ(v.kind, e.kind);
    EXPECT_EQ(v.number, e.number);
    EXPECT_EQ(v.versionText, e.text);
  }
}
