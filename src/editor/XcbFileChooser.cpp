#include "editor/XcbFileChooser.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "synth/UserFolders.h"

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 440;
constexpr int kMargin = 12;
constexpr int kRowHeight = 20;
constexpr int kListTop = 40;
constexpr int kListBottom = kHeight - 90;
constexpr int kFieldTop = kHeight - 80;
constexpr int kButtonTop = kHeight - 42;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 28;
constexpr unsigned kDoubleClickMs = 400;

int VisibleRows() { return (kListBottom - kListTop - 4) / kRowHeight; }

IBounds ButtonRect(int b) {  // 0 Cancel, 1 Open/Save
  const int right = kWidth - kMargin - (1 - b) * (kButtonWidth + 10);
  return IBounds(right - kButtonWidth, kButtonTop, right, kButtonTop + kButtonHeight);
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

bool XcbFileChooser::Matches(const std::vector<std::string>& patterns, const std::string& name) {
  if (patterns.empty()) return true;
  for (const std::string& p : patterns) {
    if (p == "*.") {
      if (name.find('.') == std::string::npos) return true;
    } else if (fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
      return true;
    }
  }
  return false;
}

XcbFileChooser::XcbFileChooser(std::shared_ptr<XcbDisplay> display, const IFileRequest& request, xcb_window_t owner)
    : display_(std::move(display)), request_(request) {
  if (display_ == nullptr) return;
  name_ = request.fileName;
  // A name given with a folder starts in that folder.
  std::string folder = request.folder;
  const auto slash = name_.rfind('/');
  if (slash != std::string::npos) {
    if (name_[0] == '/') folder = name_.substr(0, slash + 1);
    name_ = name_.substr(slash + 1);
  }
  if (!UserFolders::IsFolder(folder)) folder = UserFolders::HomeFolder();
  ReadFolder(folder.empty() ? "/" : folder);
  int x = (display_->ScreenWidth() - kWidth) / 2;
  int y = (display_->ScreenHeight() - kHeight) / 2;
  if (owner != 0) {
    auto* g = xcb_get_geometry_reply(display_->Connection(), xcb_get_geometry(display_->Connection(), owner), nullptr);
    int rx = 0, ry = 0;
    if (g != nullptr && display_->RootPosition(owner, &rx, &ry)) {
      x = rx + (g->width - kWidth) / 2;
      y = ry + (g->height - kHeight) / 2;
    }
    std::free(g);
  }
  x = std::clamp(x, 0, std::max(0, display_->ScreenWidth() - kWidth));
  y = std::clamp(y, 0, std::max(0, display_->ScreenHeight() - kHeight));
  popup_ = std::make_unique<XcbPopup>(display_, x, y, kWidth, kHeight, XcbPopup::kInputEvents,
                                      owner != 0 ? owner : display_->Root(),
                                      request.action == IFileRequest::kSave ? "Save" : "Open");
  if (!popup_->IsValid()) {
    popup_.reset();
    state_ = State::kCancelled;
    return;
  }
  Draw();
  popup_->Map();
}

void XcbFileChooser::ReadFolder(const std::string& folder) {
  folder_ = WithSlash(folder);
  entries_.clear();
  selected_ = -1;
  scroll_ = 0;
  if (folder_ != "/") entries_.push_back({"..", true});
  DIR* dir = opendir(folder_.c_str());
  std::vector<Entry> folders, files;
  if (dir != nullptr) {
    // Bounded: a folder of more names than anyone scrolls through lists its first ones.
    while (const dirent* d = readdir(dir)) {
      if (folders.size() + files.size() >= 20000) break;
      const std::string name = d->d_name;
      if (name.empty() || name[0] == '.') continue;
      struct stat st {};
      if (stat((folder_ + name).c_str(), &st) != 0) continue;
      if (S_ISDIR(st.st_mode)) folders.push_back({name, true});
      else if (S_ISREG(st.st_mode) && Matches(request_.patterns, name)) files.push_back({name, false});
    }
    closedir(dir);
  }
  auto byName = [](const Entry& a, const Entry& b) { return a.name < b.name; };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  entries_.insert(entries_.end(), folders.begin(), folders.end());
  entries_.insert(entries_.end(), files.begin(), files.end());
}

std::vector<std::string> XcbFileChooser::Listed() const {
  std::vector<std::string> names;
  for (const auto& e : entries_) names.push_back(e.folder ? e.name + "/" : e.name);
  return names;
}

int XcbFileChooser::RowAt(int x, int y) const {
  if (x < kMargin || x >= kWidth - kMargin || y < kListTop + 2 || y >= kListBottom - 2) return -1;
  const int row = scroll_ + (y - kListTop - 2) / kRowHeight;
  return row < static_cast<int>(entries_.size()) ? row : -1;
}

void XcbFileChooser::Select(int index) {
  if (entries_.empty()) return;
  selected_ = std::clamp(index, 0, static_cast<int>(entries_.size()) - 1);
  if (selected_ < scroll_) scroll_ = selected_;
  if (selected_ >= scroll_ + VisibleRows()) scroll_ = selected_ - VisibleRows() + 1;
  if (!entries_[static_cast<std::size_t>(selected_)].folder) name_ = entries_[static_cast<std::size_t>(selected_)].name;
}

void XcbFileChooser::Confirm(bool replace) {
  confirming_ = false;
  if (replace) state_ = State::kChosen;
  else chosen_.clear();
}

void XcbFileChooser::Accept() {
  if (name_.empty()) {
    if (selected_ >= 0 && entries_[static_cast<std::size_t>(selected_)].folder) {
      const std::string n = entries_[static_cast<std::size_t>(selected_)].name;
      if (n == "..") {
        std::string up = folder_.substr(0, folder_.size() - 1);
        ReadFolder(up.substr(0, up.rfind('/') + 1));
      } else {
        ReadFolder(folder_ + n);
      }
    }
    return;
  }
  const std::string path = name_[0] == '/' ? name_ : folder_ + name_;
  if (UserFolders::IsFolder(path)) {
    ReadFolder(path);
    name_.clear();
    return;
  }
  // The name typed without an extension gets the default one when checking for a file to replace.
  std::string target = path;
  const std::string base = target.substr(target.rfind('/') + 1);
  if (!request_.defaultExtension.empty() && base.find('.') == std::string::npos &&
      (request_.action == IFileRequest::kSave || !UserFolders::IsFile(target))) {
    target += "." + request_.defaultExtension;
  }
  if (request_.action == IFileRequest::kOpen) {
    if (!UserFolders::IsFile(target)) return;  // the file must exist
    chosen_ = path;
    state_ = State::kChosen;
    return;
  }
  chosen_ = path;
  if (UserFolders::IsFile(target)) {
    confirming_ = true;
  } else {
    state_ = State::kChosen;
  }
}

void XcbFileChooser::Draw() {
  XcbPopup& p = *popup_;
  p.Fill(IBounds(0, 0, kWidth, kHeight), XcbLook::kFace);
  p.Frame(IBounds(0, 0, kWidth, kHeight), XcbLook::kBorder);
  p.Text(folder_, IBounds(kMargin, 8, kWidth - kMargin, 32), LICE_TextAlign::kLeft, XcbLook::kText, true);
  const IBounds list(kMargin, kListTop, kWidth - kMargin, kListBottom);
  p.Fill(list, XcbLook::kField);
  p.Frame(list, XcbLook::kBorder);
  for (int r = 0; r < VisibleRows(); ++r) {
    const int i = scroll_ + r;
    if (i >= static_cast<int>(entries_.size())) break;
    const IBounds row(list.L + 1, list.T + 2 + r * kRowHeight, list.R - 1, list.T + 2 + (r + 1) * kRowHeight);
    const bool sel = i == selected_;
    if (sel) p.Fill(row, XcbLook::kHighlight);
    const Entry& e = entries_[static_cast<std::size_t>(i)];
    p.Text(e.folder ? e.name + "/" : e.name, IBounds(row.L + 6, row.T, row.R - 4, row.B), LICE_TextAlign::kLeft,
           sel ? XcbLook::kHighlightText : XcbLook::kText, e.folder);
  }
  p.Text("Name:", IBounds(kMargin, kFieldTop, kMargin + 60, kFieldTop + 26), LICE_TextAlign::kLeft, XcbLook::kText);
  const IBounds field(kMargin + 60, kFieldTop, kWidth - kMargin, kFieldTop + 26);
  p.Fill(field, XcbLook::kField);
  p.Frame(field, XcbLook::kBorder);
  p.Text(name_ + "|", IBounds(field.L + 5, field.T, field.R - 5, field.B), LICE_TextAlign::kLeft, XcbLook::kText);
  p.Text(request_.filter.empty() ? "All files" : request_.filter, IBounds(kMargin, kButtonTop, kWidth / 2, kButtonTop + kButtonHeight),
         LICE_TextAlign::kLeft, XcbLook::kGrey);
  const char* labels[2] = {"Cancel", request_.action == IFileRequest::kSave ? "Save" : "Open"};
  for (int b = 0; b < 2; ++b) {
    const IBounds r = ButtonRect(b);
    p.Fill(r, b == pressedButton_ ? XcbLook::kHighlight : XcbLook::kField);
    p.Frame(r, XcbLook::kBorder);
    p.Text(labels[b], r, LICE_TextAlign::kCentre, b == pressedButton_ ? XcbLook::kHighlightText : XcbLook::kText);
  }
}

bool XcbFileChooser::HandleEvent(const xcb_generic_event_t* event) {
  if (popup_ == nullptr) {
    Abort();
    return false;
  }
  if (!popup_->Owns(event)) return false;
  switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY:
      xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, popup_->Window(), XCB_CURRENT_TIME);
      display_->Flush();
      return true;
    case XCB_BUTTON_PRESS: {
      const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
      if (e->detail == 4 || e->detail == 5) {
        const int most = std::max(0, static_cast<int>(entries_.size()) - VisibleRows());
        scroll_ = std::clamp(scroll_ + (e->detail == 4 ? -3 : 3), 0, most);
        break;
      }
      if (e->detail != 1) return true;
      xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, popup_->Window(), XCB_CURRENT_TIME);
      pressedButton_ = -1;
      for (int b = 0; b < 2; ++b) {
        if (ButtonRect(b).Contains(e->event_x, e->event_y)) pressedButton_ = b;
      }
      const int row = RowAt(e->event_x, e->event_y);
      if (row >= 0) {
        const bool twice = row == lastClickRow_ && e->time - lastClickTime_ <= kDoubleClickMs;
        Select(row);
        lastClickRow_ = twice ? -1 : row;
        lastClickTime_ = e->time;
        if (twice) {
          if (entries_[static_cast<std::size_t>(row)].folder) name_.clear();
          Accept();
        }
      }
      break;
    }
    case XCB_BUTTON_RELEASE: {
      const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
      if (e->detail != 1) return true;
      const int b = pressedButton_;
      pressedButton_ = -1;
      if (b >= 0 && ButtonRect(b).Contains(e->event_x, e->event_y)) {
        if (b == 0) state_ = State::kCancelled;
        else Accept();
      }
      break;
    }
    case XCB_KEY_PRESS: {
      const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
      const bool shift = (e->state & XCB_MOD_MASK_SHIFT) != 0;
      const std::uint32_t sym = display_->KeySym(e->detail, shift);
      if (sym == XcbKey::kEscape) {
        state_ = State::kCancelled;
      } else if (sym == XcbKey::kReturn || sym == XcbKey::kKeypadEnter) {
        Accept();
      } else if (sym == XcbKey::kBackSpace) {
        if (!name_.empty()) name_.pop_back();
      } else if (sym == XcbKey::kDown || sym == XcbKey::kUp) {
        Select(selected_ + (sym == XcbKey::kDown ? 1 : -1));
      } else if (sym >= 0x20 && sym < 0x7f && name_.size() < 255) {
        name_ += static_cast<char>(sym);
      }
      break;
    }
    case XCB_CLIENT_MESSAGE: {
      const auto* e = reinterpret_cast<const xcb_client_message_event_t*>(event);
      if (e->type == display_->Atom("WM_PROTOCOLS") && e->data.data32[0] == display_->Atom("WM_DELETE_WINDOW")) {
        state_ = State::kCancelled;
      }
      return true;
    }
    default:
      return true;
  }
  if (state_ == State::kOpen) {
    Draw();
    popup_->Present();
  }
  return true;
}
