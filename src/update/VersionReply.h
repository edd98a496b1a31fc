#pragma once

#include <string>
#include <string_view>

// What the update server's reply says about the newest released version.
//
// The reply is a number in the form 1106: major digit, minor digit, then the patch number (1106 is
// 1.1.6, 1110 is 1.1.10). A web page instead of a number means the query reached something that is
// not the version service.
struct VersionReply {
  // This build: "1.1.5", compared as 1105.
  static constexpr const char* kOwnVersionText = "1.1.5";
  static constexpr long kOwnVersionNumber = 1105;

  enum class Kind {
    kNoReply,     // nothing was received
    kWebPage,     // the reply contains "<"
    kUpToDate,    // the number is not newer than this build (a reply without a number counts as 0)
    kNewVersion,  // a newer version exists; versionText says which
  };

  Kind kind = Kind::kNoReply;
  // The reply's leading decimal number, 0 when it does not start with a digit; saturates rather
  // than overflowing on absurdly long numbers.
  long number = 0;
  // For kNewVersion, the version as the user reads it ("1.1.6", "1.1.10").
  std::string versionText;

  static VersionReply Evaluate(std::string_view reply);
};
