#pragma once

#include <string>

// What the update check needs of the editor's window: a message box and opening a web page. The
// editor supplies an implementation that forwards to its platform layer; tests answer it themselves.
class UpdatePrompts {
 public:
  // Message box types and answers, with the values of the editor's message boxes.
  static constexpr int kYesNo = 4;
  static constexpr int kError = 16;        // error icon, OK button
  static constexpr int kInformation = 64;  // information icon, OK button
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;

  virtual ~UpdatePrompts() = default;

  // Shows text under caption and answers the button pressed (kAnswerYes, kAnswerNo, or whatever the
  // OK box answers).
  virtual int ShowMessage(const std::string& text, const std::string& caption, int type) = 0;

  // Opens url in the user's web browser; title, confirmation and failure text may be empty (no
  // question before, no message after a failure). Answers whether the page was opened.
  virtual bool OpenWebPage(const std::string& url, const std::string& title, const std::string& confirmation,
                           const std::string& failureText) = 0;
};
