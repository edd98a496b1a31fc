#include "editor/IScriptedResponder.h"

#include "editor/IMenuModel.h"

namespace {

void DescribeInto(const IMenuModel& menu, int depth, std::string& out) {
  for (int i = 0; i < menu.NItems(); ++i) {
    const IMenuEntry* item = menu.Item(i);
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    if (item->IsSeparator()) {
      out += "-\n";
      continue;
    }
    out += item->Text();
    if (item->IsChecked()) out += " [checked]";
    if ((item->Flags() & IMenuEntry::kDisabled) != 0) out += " [disabled]";
    if ((item->Flags() & IMenuEntry::kTitle) != 0) out += " [title]";
    if (item->Submenu() != nullptr) out += " >";
    out += '\n';
    if (item->Submenu() != nullptr) DescribeInto(*item->Submenu(), depth + 1, out);
  }
}

}  // namespace

std::string IScriptedResponder::Describe(const IMenuModel& menu) {
  std::string out;
  DescribeInto(menu, 0, out);
  return out;
}

void IScriptedResponder::ChooseMenuItem(std::vector<std::string> path) {
  MenuAnswer a;
  a.texts = std::move(path);
  a.byText = true;
  menuAnswers_.push_back(std::move(a));
}

void IScriptedResponder::ChooseMenuIndex(std::vector<int> path) {
  MenuAnswer a;
  a.indices = std::move(path);
  menuAnswers_.push_back(std::move(a));
}

void IScriptedResponder::ChooseNothingFromMenu() { menuAnswers_.push_back(MenuAnswer()); }

int IScriptedResponder::AnswerMessage(const char* text, const char* caption, int kind) {
  messages_.push_back({text != nullptr ? text : "", caption != nullptr ? caption : "", kind});
  if (messageAnswers_.empty()) return IGraphicsResponder::AnswerMessage(text, caption, kind);
  const int answer = messageAnswers_.front();
  messageAnswers_.pop_front();
  return answer;
}

bool IScriptedResponder::ChooseFromMenu(IMenuModel& menu, const IBounds& rect, IMenuModel** chosenMenu,
                                        int* chosenItem) {
  menus_.push_back({Describe(menu), rect});
  if (menuAnswers_.empty()) return false;
  const MenuAnswer answer = menuAnswers_.front();
  menuAnswers_.pop_front();
  const std::size_t depth = answer.byText ? answer.texts.size() : answer.indices.size();
  if (depth == 0) return false;
  IMenuModel* current = &menu;
  for (std::size_t level = 0; level < depth; ++level) {
    int index = -1;
    if (answer.byText) {
      for (int i = 0; i < current->NItems() && index < 0; ++i) {
        if (!current->Item(i)->IsSeparator() && current->Item(i)->Text() == answer.texts[level]) index = i;
      }
    } else {
      index = answer.indices[level];
    }
    const IMenuEntry* item = current->Item(index);
    if (item == nullptr) return false;
    if (level + 1 == depth) {
      *chosenMenu = current;
      *chosenItem = index;
      return true;
    }
    if (item->Submenu() == nullptr) return false;
    current = item->Submenu();
  }
  return false;
}

std::optional<std::string> IScriptedResponder::AnswerTextEntry(IControl* control, const ITextStyle& style,
                                                               const IBounds& rect, const std::string& initialText) {
  textEntries_.push_back({control, style, rect, initialText});
  if (textAnswers_.empty()) return std::nullopt;
  std::optional<std::string> answer = textAnswers_.front();
  textAnswers_.pop_front();
  return answer;
}

bool IScriptedResponder::ChooseFile(const IFileRequest& request, std::string* chosen) {
  fileRequests_.push_back(request);
  if (fileAnswers_.empty()) return false;
  *chosen = fileAnswers_.front();
  fileAnswers_.pop_front();
  return !chosen->empty();
}

bool IScriptedResponder::OpenWebPage(const char* url) {
  webPages_.emplace_back(url != nullptr ? url : "");
  return browserWorks_;
}
