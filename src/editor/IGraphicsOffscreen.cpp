#include "editor/IGraphicsOffscreen.h"

#include <algorithm>

namespace {

// The text an entry box hands over holds at most this many characters.
constexpr int kMaxEnteredText = 31;

}  // namespace

IGraphicsOffscreen::IGraphicsOffscreen(IPlugBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps) {}

IGraphicsOffscreen::~IGraphicsOffscreen() { CloseEditorWindow(); }

bool IGraphicsOffscreen::PresentRect(const IBounds& rect) {
  ++presentCount_;
  presented_ = presented_.Union(rect);
  return true;
}

int IGraphicsOffscreen::ShowMessage(const char* text, const char* caption, int kind) {
  return responder_->AnswerMessage(text != nullptr ? text : "", caption != nullptr ? caption : "", kind);
}

IMenuModel* IGraphicsOffscreen::ShowPopupMenu(IMenuModel* menu, const IBounds& rect) {
  ReleaseMouseCapture();
  if (menu == nullptr) return nullptr;
  IMenuModel* chosenMenu = nullptr;
  int chosenItem = -1;
  if (!responder_->ChooseFromMenu(*menu, rect, &chosenMenu, &chosenItem) || chosenMenu == nullptr) return nullptr;
  // What a menu on screen would not let anyone choose is not chosen here either.
  const IMenuEntry* item = chosenMenu->Item(chosenItem);
  if (item == nullptr || !item->IsChoosable()) return nullptr;
  chosenMenu->SetChosenItem(chosenItem);
  return chosenMenu;
}

void IGraphicsOffscreen::OpenTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect,
                                       const char* initialText) {
  if (control == nullptr || entryControl_ != nullptr) return;
  entryControl_ = control;
  entryAnswer_ = responder_->AnswerTextEntry(control, style, rect, initialText != nullptr ? initialText : "");
  if (entryAnswer_.has_value()) {
    // The box takes no more characters than the control allows.
    const int limit = std::min(std::max(control->TextEntryLength(), 0), kMaxEnteredText);
    if (static_cast<int>(entryAnswer_->size()) > limit) entryAnswer_->resize(static_cast<std::size_t>(limit));
  }
}

bool IGraphicsOffscreen::Tick() {
  if (entryControl_ != nullptr) {
    IControl* control = entryControl_;
    const std::optional<std::string> answer = std::move(entryAnswer_);
    entryControl_ = nullptr;
    entryAnswer_.reset();
    if (answer.has_value()) control->OnTextEntered(answer->c_str());
    return false;
  }
  return RedrawDirty();
}

void* IGraphicsOffscreen::OpenEditorWindow(void*) {
  if (!virtualWindowAllowed_) return nullptr;
  CloseEditorWindow();
  window_ = &windowToken_;
  BindUserInterfaceThread();
  MarkAllControlsDirty();
  return window_;
}

void IGraphicsOffscreen::CloseEditorWindow() {
  // An entry open over the window goes with it, so that a later one can open.
  entryControl_ = nullptr;
  entryAnswer_.reset();
  window_ = nullptr;
}

bool IGraphicsOffscreen::LaunchWebPage(const char* url) { return responder_->OpenWebPage(url); }

bool IGraphicsOffscreen::ChooseFile(const IFileRequest& request, std::string* chosen) {
  return responder_->ChooseFile(request, chosen);
}
