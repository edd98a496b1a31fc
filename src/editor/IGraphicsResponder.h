#pragma once

#include <optional>
#include <string>

#include "editor/IBounds.h"

class IControl;
class IMenuModel;
struct IFileRequest;
struct ITextStyle;

// The user of a frame without a display (IGraphicsOffscreen): whoever answers its message boxes,
// pop-up menus, text entries, file choosers and web pages. The base answers as a user who clicks
// OK or No, chooses nothing, cancels every entry and chooser, and whose browser opens nothing.
// IScriptedResponder answers from a script and records what it was asked.
class IGraphicsResponder {
 public:
  virtual ~IGraphicsResponder() = default;

  // kind 0 (OK) or 4 (Yes/No); answers 1 (OK), 6 (Yes) or 7 (No).
  virtual int AnswerMessage(const char* text, const char* caption, int kind);
  // The item chosen from menu shown at rect: the (sub)menu holding it and its index. False when
  // nothing is chosen.
  virtual bool ChooseFromMenu(IMenuModel& menu, const IBounds& rect, IMenuModel** chosenMenu, int* chosenItem);
  // The text committed in an entry opened over control, or nothing when it is cancelled.
  virtual std::optional<std::string> AnswerTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect,
                                                     const std::string& initialText);
  // The full path chosen; false when the chooser is cancelled.
  virtual bool ChooseFile(const IFileRequest& request, std::string* chosen);
  // Whether the browser opened the page.
  virtual bool OpenWebPage(const char* url);
};
