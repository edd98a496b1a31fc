#pragma once

#include <string_view>

#include "update/UpdatePrompts.h"
#include "update/VersionQuery.h"

// "Check Online for Update": asks the maker's update server for the newest version, tells the user
// the outcome and, when a newer version exists and the user wants it, opens the download page.
// Runs synchronously on the calling (editor) thread; nothing is remembered between checks.
//
// Answers 0 when a version number was received (up to date or newer version reported), -1 when no
// reply arrived, -2 when an unexpected failure broke the check off, -3 when the reply was a web page
// rather than a version number.
namespace update_check {

inline constexpr int kReceived = 0;
inline constexpr int kNoReply = -1;
inline constexpr int kUnexpectedFailure = -2;
inline constexpr int kNotAVersion = -3;

inline constexpr const char* kCaption = "Check Online for Update";

// The whole check against the configured server (see VersionQuery::ForConfiguredServer).
int CheckForUpdate(UpdatePrompts& prompts);
// The whole check with the given query (server, time-outs, reply limit).
int CheckForUpdate(UpdatePrompts& prompts, const VersionQuery& query);
// The part after the request: tells the user what the reply text means and answers the result.
int AnswerReply(std::string_view reply, UpdatePrompts& prompts);

}  // namespace update_check
