#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "editor/IGraphicsResponder.h"
#include "editor/ITextStyle.h"

// A user who follows a script: each question takes the next queued answer of its kind, or the
// base's answer when none is queued. Every question is recorded, so that a test can check what
// was asked, with which texts and where.
class IScriptedResponder : public IGraphicsResponder {
 public:
  struct Message {
    std::string text;
    std::string caption;
    int kind = 0;
  };
  struct ShownMenu {
    std::string items;  // Describe() of the menu when it was shown
    IBounds rect;
  };
  struct TextEntry {
    IControl* control = nullptr;
    ITextStyle style;
    IBounds rect;
    std::string initialText;
  };

  // ---- The script. ----
  void AnswerNextMessage(int answer) { messageAnswers_.push_back(answer); }
  // Chooses by item texts from the top menu down through submenus ({"Tuning", "Werckmeister III"}).
  void ChooseMenuItem(std::vector<std::string> path);
  // Chooses by item positions from the top menu down ({3, 0}).
  void ChooseMenuIndex(std::vector<int> path);
  void ChooseNothingFromMenu();
  // Types text and presses Enter, or presses Escape.
  void EnterText(std::string text) { textAnswers_.emplace_back(std::move(text)); }
  void CancelTextEntry() { textAnswers_.emplace_back(std::nullopt); }
  // Chooses path in the next file chooser; "" cancels it.
  void ChooseFileNamed(std::string path) { fileAnswers_.push_back(std::move(path)); }
  void SetBrowserWorks(bool works) { browserWorks_ = works; }

  // ---- What was asked. ----
  const std::vector<Message>& Messages() const { return messages_; }
  const std::vector<ShownMenu>& Menus() const { return menus_; }
  const std::vector<TextEntry>& TextEntries() const { return textEntries_; }
  const std::vector<IFileRequest>& FileRequests() const { return fileRequests_; }
  const std::vector<std::string>& WebPages() const { return webPages_; }
  // Whether every queued answer has been used.
  bool ScriptDone() const {
    return messageAnswers_.empty() && menuAnswers_.empty() && textAnswers_.empty() && fileAnswers_.empty();
  }

  // One line per item, submenus indented by two spaces: "-" for a separator, else the text with
  // " [checked]", " [disabled]", " [title]" as flagged and " >" before a submenu.
  static std::string Describe(const IMenuModel& menu);

  int AnswerMessage(const char* text, const char* caption, int kind) override;
  bool ChooseFromMenu(IMenuModel& menu, const IBounds& rect, IMenuModel** chosenMenu, int* chosenItem) override;
  std::optional<std::string> AnswerTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect,
                                             const std::string& initialText) override;
  bool ChooseFile(const IFileRequest& request, std::string* chosen) override;
  bool OpenWebPage(const char* url) override;

 private:
  struct MenuAnswer {
    std::vector<std::string> texts;
    std::vector<int> indices;
    bool byText = false;
  };

  std::deque<int> messageAnswers_;
  std::deque<MenuAnswer> menuAnswers_;
  std::deque<std::optional<std::string>> textAnswers_;
  std::deque<std::string> fileAnswers_;
  bool browserWorks_ = true;

  std::vector<Message> messages_;
  std::vector<ShownMenu> menus_;
  std::vector<TextEntry> textEntries_;
  std::vector<IFileRequest> fileRequests_;
  std::vector<std::string> webPages_;
};
