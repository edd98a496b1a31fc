// The update server's reply on arbitrary bytes, told to the user through prompts that answer Yes or
// No as the first byte says.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "update/UpdateCheck.h"
#include "update/VersionReply.h"

namespace {

struct Prompts : UpdatePrompts {
  int answer = kAnswerYes;
  int messages = 0;
  int pages = 0;
  std::size_t longest = 0;
  int ShowMessage(const std::string& text, const std::string& caption, int type) override {
    ++messages;
    longest = std::max(longest, text.size() + caption.size());
    return type == kYesNo ? answer : 1;
  }
  bool OpenWebPage(const std::string&, const std::string&, const std::string&, const std::string&) override {
    ++pages;
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const VersionReply v = VersionReply::Evaluate(reply);
  // A newer version has at least four leading digits, and its text comes from the reply's first line.
  if (v.kind == VersionReply::Kind::kNewVersion) {
    if (v.number <= VersionReply::kOwnVersionNumber || v.versionText.size() < 5) std::abort();
    if (v.versionText.size() > reply.size() + 2) std::abort();
    if (v.versionText.find_first_of("\r\n") != std::string::npos) std::abort();
  } else if (!v.versionText.empty()) {
    std::abort();
  }
  if ((v.kind == VersionReply::Kind::kWebPage) != (reply.find('<') != std::string_view::npos)) std::abort();

  Prompts prompts;
  prompts.answer = size > 0 && (data[0] & 1) ? UpdatePrompts::kAnswerNo : UpdatePrompts::kAnswerYes;
  const int result = update_check::AnswerReply(reply, prompts);
  if (result != 0 && result != -1 && result != -3) std::abort();
  if (prompts.messages != 1 || prompts.longest > reply.size() + 300) std::abort();
  const bool opens = v.kind == VersionReply::Kind::kNewVersion && prompts.answer == UpdatePrompts::kAnswerYes;
  if (prompts.pages != (opens ? 1 : 0)) std::abort();
  return 0;
}
