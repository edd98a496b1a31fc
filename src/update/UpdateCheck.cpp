#include "update/UpdateCheck.h"

#include <string>

#include "update/MakerSite.h"
#include "update/VersionReply.h"

namespace update_check {

namespace {

constexpr const char* kProduct = "Tarvolin";

void ShowContactError(UpdatePrompts& prompts) {
  prompts.ShowMessage(std::string("An error occurred while contacting ") + maker::kDomainName + ".", kCaption,
                      UpdatePrompts::kError);
}

int Answer(std::string_view reply, UpdatePrompts& prompts) {
  const VersionReply verdict = VersionReply::Evaluate(reply);
  switch (verdict.kind) {
    case VersionReply::Kind::kNoReply:
      ShowContactError(prompts);
      return kNoReply;
    case VersionReply::Kind::kWebPage:
      prompts.ShowMessage(std::string("Invalid call to ") + maker::kDomainName + ".", kCaption, UpdatePrompts::kError);
      return kNotAVersion;
    case VersionReply::Kind::kUpToDate:
      prompts.ShowMessage("Your version is up to date.", kCaption, UpdatePrompts::kInformation);
      return kReceived;
    case VersionReply::Kind::kNewVersion:
      break;
  }
  const std::string caption = std::string("New Version of ") + kProduct + " Detected";
  const std::string question = std::string("A new version of ") + kProduct + " is available.\n\n" +
                               "\tYour version: \t" + VersionReply::kOwnVersionText + "\n" + "\tNew version: \t" +
                               verdict.versionText + "\n" + "\nDo you want to go to " + maker::kHomePage +
                               " to get the new version?";
  if (prompts.ShowMessage(question, caption, UpdatePrompts::kYesNo) != UpdatePrompts::kAnswerNo) {
    prompts.OpenWebPage(maker::kDownloadPage, "", "", "");
  }
  return kReceived;
}

// Anything thrown (running out of memory while building a text, a failing prompt) ends the check
// with the error message; nothing escapes into the editor.
int Unexpected(UpdatePrompts& prompts) {
  try {
    ShowContactError(prompts);
  } catch (...) {
  }
  return kUnexpectedFailure;
}

}  // namespace

int AnswerReply(std::string_view reply, UpdatePrompts& prompts) {
  try {
    return Answer(reply, prompts);
  } catch (...) {
    return Unexpected(prompts);
  }
}

int CheckForUpdate(UpdatePrompts& prompts, const VersionQuery& query) {
  try {
    // The connection is closed before any message is shown.
    const std::string reply = VersionQuery::ReplyText(query.Run());
    return Answer(reply, prompts);
  } catch (...) {
    return Unexpected(prompts);
  }
}

int CheckForUpdate(UpdatePrompts& prompts) {
  try {
    return CheckForUpdate(prompts, VersionQuery::ForConfiguredServer());
  } catch (...) {
    return Unexpected(prompts);
  }
}

}  // namespace update_check
