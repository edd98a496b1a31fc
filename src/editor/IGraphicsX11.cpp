#include "editor/IGraphicsX11.h"

#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "editor/DesktopProcess.h"
#include "editor/XcbFileChooser.h"
#include "editor/XcbMessageBox.h"
#include "editor/XcbPopupMenu.h"

namespace {

constexpr std::uint32_t kEditorEvents =
    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
    XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW |
    XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

// How long a web browser opener may take before it is left to run on its own.
constexpr int kOpenerWaitMs = 3000;

std::atomic<bool> g_desktopChoosers{true};

// The frame's key code of a key symbol; kKeyNone for keys the editor's controls never get.
int KeyCodeForSym(std::uint32_t sym) {
  switch (sym) {
    case XcbKey::kUp: return kKeyUp;
    case XcbKey::kDown: return kKeyDown;
    case XcbKey::kLeft: return kKeyLeft;
    case XcbKey::kRight: return kKeyRight;
    default: return sym < 0x80 ? KeyCodeForCharacter(static_cast<int>(sym)) : kKeyNone;
  }
}

xcb_window_t EventWindow(const xcb_generic_event_t* event) {
  switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: return reinterpret_cast<const xcb_expose_event_t*>(event)->window;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: return reinterpret_cast<const xcb_button_press_event_t*>(event)->event;
    case XCB_MOTION_NOTIFY: return reinterpret_cast<const xcb_motion_notify_event_t*>(event)->event;
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: return reinterpret_cast<const xcb_key_press_event_t*>(event)->event;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY: return reinterpret_cast<const xcb_enter_notify_event_t*>(event)->event;
    case XCB_FOCUS_IN:
    case XCB_FOCUS_OUT: return reinterpret_cast<const xcb_focus_in_event_t*>(event)->event;
    case XCB_DESTROY_NOTIFY: return reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
    default: return 0;
  }
}

// Waits for a desktop program's answer while the editor stays painted.
class ProcessWait : public XcbModal {
 public:
  explicit ProcessWait(DesktopProcess& process) : process_(process) {}
  bool HandleEvent(const xcb_generic_event_t*) override { return false; }
  bool Done() const override { return process_.OutputDescriptor() < 0 && process_.Poll(); }
  void Abort() override { aborted_ = true; }
  int ExtraDescriptor() const override { return process_.OutputDescriptor(); }
  void OnExtraReadable() override { process_.ReadOutput(); }
  bool Aborted() const { return aborted_; }

 private:
  DesktopProcess& process_;
  bool aborted_ = false;
};

// Waits a while for a program that needs no answer but its exit, the editor painted meanwhile.
class ExitWait : public XcbModal {
 public:
  ExitWait(DesktopProcess& process, std::chrono::steady_clock::time_point until) : process_(process), until_(until) {}
  bool HandleEvent(const xcb_generic_event_t*) override { return false; }
  bool Done() const override { return aborted_ || process_.Poll() || std::chrono::steady_clock::now() >= until_; }
  void Abort() override { aborted_ = true; }

 private:
  DesktopProcess& process_;
  std::chrono::steady_clock::time_point until_;
  bool aborted_ = false;
};

}  // namespace

IGraphicsX11::IGraphicsX11(IPlugBase* plug, int width, int height, int fps) : IGraphics(plug, width, height, fps) {}

IGraphicsX11::~IGraphicsX11() { CloseEditorWindow(); }

void IGraphicsX11::AllowDesktopChoosers(bool allowed) { g_desktopChoosers.store(allowed); }

void IGraphicsX11::Sync() {
  if (display_ == nullptr || display_->Broken()) return;
  xcb_connection_t* c = display_->Connection();
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void* IGraphicsX11::GetWindowHandle() {
  return window_ != 0 ? reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)) : nullptr;
}

// ---- Opening and closing ------------------------------------------------------------------------

void* IGraphicsX11::OpenEditorWindow(void* parent) {
  const auto parentId = static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(parent));
  if (window_ != 0 && display_ != nullptr && !display_->Broken()) {
    // Opened again without a close: the old window's place is kept.
    auto* g = xcb_get_geometry_reply(display_->Connection(), xcb_get_geometry(display_->Connection(), window_), nullptr);
    if (g != nullptr) {
      windowX_ = g->x;
      windowY_ = g->y;
    }
    std::free(g);
  } else {
    windowX_ = 0;
    windowY_ = 0;
  }
  CloseEditorWindow();
  if (parentId == 0) return nullptr;
  std::shared_ptr<XcbDisplay> display = XcbDisplay::Connect();
  if (display == nullptr || !display->IsWindow(parentId)) return nullptr;
  const xcb_window_t window =
      display->CreateWindow(parentId, windowX_, windowY_, Width(), Height(), kEditorEvents, false);
  if (window == 0) return nullptr;
  display_ = std::move(display);
  window_ = window;
  topLevel_ = display_->TopLevelOf(parentId);
  xcb_map_window(display_->Connection(), window_);
  // Keys come to the editor from the start, as they do after a click (refused while the host's
  // window is not yet shown; the refusal arrives as an error event and is dropped).
  xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
  display_->Flush();
  BindUserInterfaceThread();
  MarkAllControlsDirty();
  tickNow_ = true;
  havePress_ = false;
  return GetWindowHandle();
}

void IGraphicsX11::CloseEditorWindow() {
  // Whatever was open over the window goes with it, so that a later one can open.
  entry_.reset();
  entryControl_ = nullptr;
  editState_ = EditState::kNone;
  tooltip_.reset();
  tooltipIndex_ = -1;
  hoverPending_ = false;
  if (display_ != nullptr && window_ != 0 && !display_->Broken()) {
    if (grabbed_) xcb_ungrab_pointer(display_->Connection(), XCB_CURRENT_TIME);
    xcb_destroy_window(display_->Connection(), window_);
    display_->Flush();
  }
  grabbed_ = false;
  window_ = 0;
  topLevel_ = 0;
  exposed_ = IBounds();
  // A menu or box still unwinding keeps the connection until it has gone.
  display_.reset();
}

void IGraphicsX11::Forget() {
  entry_.reset();
  entryControl_ = nullptr;
  editState_ = EditState::kNone;
  tooltip_.reset();
  tooltipIndex_ = -1;
  hoverPending_ = false;
  grabbed_ = false;
  window_ = 0;
  topLevel_ = 0;
  exposed_ = IBounds();
  display_.reset();
}

// ---- The host's idle calls ----------------------------------------------------------------------

void IGraphicsX11::Idle() {
  DesktopProcess::ReapFinished();
  // A host idling us from inside one of our own loops gets nothing more.
  if (display_ == nullptr || window_ == 0 || !modals_.empty()) return;
  ProcessEvents();
  if (window_ == 0) return;
  if (TickDue()) Tick();
  if (display_ != nullptr) display_->Flush();
}

void IGraphicsX11::ProcessEvents() {
  while (display_ != nullptr && window_ != 0) {
    // The display held here survives a close made by an event's handler.
    std::shared_ptr<XcbDisplay> display = display_;
    xcb_generic_event_t* event = xcb_poll_for_event(display->Connection());
    if (event == nullptr) break;
    HandleEvent(event);
    std::free(event);
  }
  if (display_ != nullptr && display_->Broken()) Forget();
  PresentExposed();
}

bool IGraphicsX11::TickDue() const {
  const auto period = std::chrono::milliseconds(1000 / std::max(FrameRate(), 1));
  return tickNow_ || Clock::now() - lastTick_ >= period;
}

void IGraphicsX11::Tick() {
  lastTick_ = Clock::now();
  tickNow_ = false;
  if (entry_ != nullptr && editState_ != EditState::kNone) {
    const EditState state = editState_;
    editState_ = EditState::kNone;
    if (state == EditState::kCommit) CloseTextEntry(true);
    else if (state == EditState::kCancel) CloseTextEntry(false);
    return;
  }
  if (hoverPending_ && lastTick_ - hoverSince_ >= std::chrono::milliseconds(kHoverMs)) {
    hoverPending_ = false;
    ShowTooltip();
  }
  IBounds area;
  if (FindDirtyArea(&area)) {
    Draw(area);
    // The box is a window of its own: the drawing goes around it.
    if (entry_ != nullptr) editState_ = EditState::kUpdate;
  }
}

bool IGraphicsX11::PresentRect(const IBounds& rect) {
  if (display_ == nullptr || window_ == 0 || DrawBitmap() == nullptr) return false;
  display_->PutImage(window_, *DrawBitmap(), rect, rect.L, rect.T);
  return true;
}

void IGraphicsX11::PresentExposed() {
  if (exposed_.Empty() || display_ == nullptr || window_ == 0) return;
  PresentRect(exposed_);
  exposed_ = IBounds();
  display_->Flush();
}

// ---- Events -------------------------------------------------------------------------------------

void IGraphicsX11::HandleEvent(const xcb_generic_event_t* event) {
  const int type = event->response_type & 0x7f;
  if (type == 0) return;  // the error of a request nobody waits for (e.g. a refused focus)
  if (entry_ != nullptr && EventWindow(event) == entry_->Window()) {
    HandleEntryEvent(event);
    return;
  }
  if (tooltip_ != nullptr && tooltip_->Owns(event)) return;
  if (EventWindow(event) != window_) return;
  switch (type) {
    case XCB_EXPOSE: {
      const auto* e = reinterpret_cast<const xcb_expose_event_t*>(event);
      exposed_ = exposed_.Union(IBounds(e->x, e->y, e->x + e->width, e->y + e->height));
      break;
    }
    case XCB_BUTTON_PRESS:
      HandleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), true);
      break;
    case XCB_BUTTON_RELEASE:
      HandleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), false);
      break;
    case XCB_MOTION_NOTIFY:
      HandleMotion(reinterpret_cast<const xcb_motion_notify_event_t*>(event));
      break;
    case XCB_LEAVE_NOTIFY: {
      const auto* e = reinterpret_cast<const xcb_leave_notify_event_t*>(event);
      // Crossings made by grabs and by the text-entry box are not the pointer leaving.
      if (e->mode != XCB_NOTIFY_MODE_NORMAL || e->detail == XCB_NOTIFY_DETAIL_INFERIOR) break;
      HideTooltip();
      tooltipIndex_ = -1;
      hoverPending_ = false;
      OnMouseOut();
      break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
      HandleKey(reinterpret_cast<const xcb_key_press_event_t*>(event), type == XCB_KEY_PRESS);
      break;
    case XCB_DESTROY_NOTIFY:
      // Destroyed with the host's window: nothing of it is left to destroy.
      Forget();
      break;
    default:
      break;
  }
}

void IGraphicsX11::HandleEntryEvent(const xcb_generic_event_t* event) {
  switch (event->response_type & 0x7f) {
    case XCB_EXPOSE:
      entry_->Popup().Owns(event);
      break;
    case XCB_FOCUS_IN: {
      const auto* e = reinterpret_cast<const xcb_focus_in_event_t*>(event);
      if (e->detail != XCB_NOTIFY_DETAIL_POINTER && e->mode != XCB_NOTIFY_MODE_UNGRAB) editState_ = EditState::kEditing;
      break;
    }
    case XCB_FOCUS_OUT: {
      const auto* e = reinterpret_cast<const xcb_focus_out_event_t*>(event);
      // Leaving the box commits; a grab taking the keyboard for a moment does not.
      if (e->detail != XCB_NOTIFY_DETAIL_POINTER && e->detail != XCB_NOTIFY_DETAIL_INFERIOR &&
          (e->mode == XCB_NOTIFY_MODE_NORMAL || e->mode == XCB_NOTIFY_MODE_WHILE_GRABBED)) {
        editState_ = EditState::kCommit;
      }
      break;
    }
    case XCB_KEY_PRESS: {
      HideTooltip();
      const auto result = entry_->Key(reinterpret_cast<const xcb_key_press_event_t*>(event));
      if (result == XcbTextEntry::KeyResult::kCommit) editState_ = EditState::kCommit;
      else if (result == XcbTextEntry::KeyResult::kCancel) editState_ = EditState::kCancel;
      break;
    }
    case XCB_BUTTON_PRESS: {
      const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
      if (e->detail == 4 || e->detail == 5) editState_ = EditState::kCancel;
      else entry_->Focus();
      break;
    }
    default:
      break;
  }
}

namespace {

IMouseState MouseStateOf(std::uint16_t state, int button, bool press) {
  IMouseState m;
  m.L = (state & XCB_BUTTON_MASK_1) != 0;
  m.R = (state & XCB_BUTTON_MASK_3) != 0;
  // The state is that before the event: a press adds its button, a release takes it away.
  if (button == 1) m.L = press;
  if (button == 3) m.R = press;
  m.S = (state & XCB_MOD_MASK_SHIFT) != 0;
  m.C = (state & XCB_MOD_MASK_CONTROL) != 0;
  m.A = (state & XCB_MOD_MASK_1) != 0;
  return m;
}

}  // namespace

void IGraphicsX11::HandleButton(const xcb_button_press_event_t* e, bool press) {
  const int x = e->event_x;
  const int y = e->event_y;
  const int button = e->detail;
  xcb_connection_t* c = display_->Connection();
  if (press) {
    HideTooltip();
    if (entry_ != nullptr) {
      if (button == 4 || button == 5) {
        editState_ = EditState::kCancel;
      } else if (button <= 3) {
        // A click straight after the box took the focus cancels it; any later one commits.
        editState_ = editState_ == EditState::kEditing ? EditState::kCancel : EditState::kCommit;
      }
      return;
    }
    if (button == 4 || button == 5) {
      OnMouseWheel(x, y, MouseStateOf(e->state, 0, true), button == 4 ? 1 : -1);
      return;
    }
    if (button > 3) return;
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
    if (!grabbed_) {
      // Held until the buttons are up, so that a drag outside the window goes on.
      xcb_grab_pointer(c, 0, window_,
                       XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
      grabbed_ = true;
    }
    const IMouseState mouse = MouseStateOf(e->state, button, true);
    if (button == 1) {
      const bool twice = havePress_ && !lastPressWasDouble_ && e->time - lastPressTime_ <= kDoubleClickMs &&
                         std::abs(x - lastPressX_) <= kDoubleClickDistance &&
                         std::abs(y - lastPressY_) <= kDoubleClickDistance;
      havePress_ = true;
      lastPressTime_ = e->time;
      lastPressX_ = x;
      lastPressY_ = y;
      lastPressWasDouble_ = twice;
      if (twice) {
        OnMouseDoubleClick(x, y, mouse);
        return;
      }
    }
    OnMouseDown(x, y, mouse);
    return;
  }
  if (button > 3) return;
  // The pointer is let go with the last button.
  const std::uint16_t held = e->state & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3);
  const std::uint16_t self = static_cast<std::uint16_t>(XCB_BUTTON_MASK_1 << (button - 1));
  if ((held & ~self) == 0) ReleasePointer();
  // A middle button's release is not the editor's.
  if (button == 2 || entry_ != nullptr) return;
  OnMouseUp(x, y, MouseStateOf(e->state, button, false));
}

void IGraphicsX11::ReleasePointer() {
  if (grabbed_ && display_ != nullptr) xcb_ungrab_pointer(display_->Connection(), XCB_CURRENT_TIME);
  grabbed_ = false;
}

void IGraphicsX11::HandleMotion(const xcb_motion_notify_event_t* e) {
  pointerRootX_ = e->root_x;
  pointerRootY_ = e->root_y;
  const IMouseState mouse = MouseStateOf(e->state, 0, false);
  if (mouse.L || mouse.R) {
    if (grabbed_ && MouseCaptureIndex() >= 0 && entry_ == nullptr) OnMouseDrag(e->event_x, e->event_y, mouse);
    return;
  }
  if (!OnMouseOver(e->event_x, e->event_y, mouse)) return;
  if (TooltipsEnabled() && MouseOverIndex() != tooltipIndex_) {
    tooltipIndex_ = MouseOverIndex();
    hoverPending_ = tooltipIndex_ >= 0;
    hoverSince_ = Clock::now();
    HideTooltip();
  }
}

void IGraphicsX11::HandleKey(const xcb_key_press_event_t* e, bool press) {
  if (press) {
    const int key = KeyCodeForSym(display_->KeySym(e->detail, false));
    if (key != kKeyNone && OnKeyDown(e->event_x, e->event_y, key)) return;
    if (window_ == 0) return;
  }
  // Not ours: the host's window gets the key as it came.
  if (topLevel_ == 0) return;
  xcb_key_press_event_t forwarded = *e;
  forwarded.response_type = press ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
  forwarded.event = topLevel_;
  forwarded.child = XCB_NONE;
  int tx = 0, ty = 0;
  if (display_->RootPosition(topLevel_, &tx, &ty)) {
    forwarded.event_x = static_cast<std::int16_t>(e->root_x - tx);
    forwarded.event_y = static_cast<std::int16_t>(e->root_y - ty);
  }
  xcb_send_event(display_->Connection(), 0, topLevel_,
                 press ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE,
                 reinterpret_cast<const char*>(&forwarded));
}

// ---- Tooltips -----------------------------------------------------------------------------------

void IGraphicsX11::ShowTooltip() {
  HideTooltip();
  const IControl* control = GetControl(tooltipIndex_);
  if (control == nullptr || control->Tooltip().empty() || display_ == nullptr) return;
  const std::string& text = control->Tooltip();
  const int w = XcbPopup::TextWidth(text) + 12;
  const int h = 22;
  const int x = std::clamp(pointerRootX_ + 4, 0, std::max(0, display_->ScreenWidth() - w));
  int y = pointerRootY_ + 22;
  if (y + h > display_->ScreenHeight()) y = pointerRootY_ - h - 4;
  tooltip_ = std::make_unique<XcbPopup>(display_, x, std::max(y, 0), w, h, XCB_EVENT_MASK_EXPOSURE);
  if (!tooltip_->IsValid()) {
    tooltip_.reset();
    return;
  }
  tooltip_->Fill(IBounds(0, 0, w, h), XcbLook::kTooltip);
  tooltip_->Frame(IBounds(0, 0, w, h), XcbLook::kBorder);
  tooltip_->Text(text, IBounds(6, 0, w - 6, h), LICE_TextAlign::kLeft, XcbLook::kText);
  tooltip_->Map();
}

void IGraphicsX11::HideTooltip() { tooltip_.reset(); }

// ---- Text entry ---------------------------------------------------------------------------------

void IGraphicsX11::OpenTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect,
                                 const char* initialText) {
  if (control == nullptr || entry_ != nullptr || display_ == nullptr || window_ == 0) return;
  const int limit = std::min(std::max(control->TextEntryLength(), 0), kMaxEnteredText);
  entry_ = std::make_unique<XcbTextEntry>(display_, window_, rect, style, initialText != nullptr ? initialText : "", limit);
  if (!entry_->IsValid()) {
    entry_.reset();
    return;
  }
  entryControl_ = control;
  editState_ = EditState::kNone;
  entry_->Focus();
}

void IGraphicsX11::CloseTextEntry(bool commit) {
  IControl* control = entryControl_;
  const std::string text = entry_ != nullptr ? entry_->Text().substr(0, kMaxEnteredText) : std::string();
  entry_.reset();
  entryControl_ = nullptr;
  editState_ = EditState::kNone;
  if (display_ != nullptr && window_ != 0) {
    xcb_set_input_focus(display_->Connection(), XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
  }
  // The box is gone before the control hears of it, so that the control may open another.
  if (commit && control != nullptr) control->OnTextEntered(text.c_str());
}

// ---- Modal services -----------------------------------------------------------------------------

void IGraphicsX11::RunModal(XcbModal& modal, const std::shared_ptr<XcbDisplay>& display, xcb_window_t window) {
  const bool editorBehind = display == display_ && window_ != 0;
  modals_.push_back(&modal);
  const std::uint32_t previousWindow = modalWindow_.exchange(window);
  while (!modal.Done()) {
    if (display->Broken() || (editorBehind && display_ != display)) {
      modal.Abort();
      break;
    }
    display->Flush();
    int timeout = 100;
    if (editorBehind) {
      const auto period = std::chrono::milliseconds(1000 / std::max(FrameRate(), 1));
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(lastTick_ + period - Clock::now());
      timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 100));
    }
    pollfd fds[2] = {{display->FileDescriptor(), POLLIN, 0}, {modal.ExtraDescriptor(), POLLIN, 0}};
    const int n = poll(fds, fds[1].fd >= 0 ? 2 : 1, timeout);
    if (n > 0 && fds[1].fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) modal.OnExtraReadable();
    while (!modal.Done()) {
      xcb_generic_event_t* event = xcb_poll_for_event(display->Connection());
      if (event == nullptr) break;
      if (!modal.HandleEvent(event)) {
        // Others only repaint meanwhile: boxes beneath this one and the editor.
        bool taken = false;
        for (XcbModal* m : modals_) {
          if (m != &modal && !taken) taken = m->Expose(event);
        }
        const int type = event->response_type & 0x7f;
        if (!taken && editorBehind && display_ == display) {
          if (type == XCB_EXPOSE || type == XCB_DESTROY_NOTIFY ||
              (entry_ != nullptr && EventWindow(event) == entry_->Window() && type != XCB_KEY_PRESS)) {
            HandleEvent(event);
          }
        }
      }
      std::free(event);
    }
    if (editorBehind && display_ == display && window_ != 0) {
      PresentExposed();
      if (TickDue()) Tick();
    }
  }
  modalWindow_.store(previousWindow);
  modals_.pop_back();
  if (!display->Broken()) display->Flush();
}

int IGraphicsX11::ShowMessage(const char* text, const char* caption, int kind) {
  const bool yesNo = kind == kMessageYesNo;
  const int fallback = yesNo ? kAnswerNo : kAnswerOk;
  // Without the editor's window the box still shows, on a connection of its own.
  std::shared_ptr<XcbDisplay> display = window_ != 0 ? display_ : XcbDisplay::Connect();
  if (display == nullptr) return fallback;
  if (display == display_) {
    HideTooltip();
    ReleasePointer();
    xcb_ungrab_pointer(display->Connection(), XCB_CURRENT_TIME);
  }
  XcbMessageBox box(display, text != nullptr ? text : "", caption != nullptr ? caption : "", yesNo,
                    display == display_ ? topLevel_ : 0);
  if (!box.IsOpen()) return fallback;
  RunModal(box, display, box.Window());
  if (display == display_ && window_ != 0) {
    xcb_set_input_focus(display->Connection(), XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
  }
  return box.Answer() != 0 ? box.Answer() : fallback;
}

IMenuModel* IGraphicsX11::ShowPopupMenu(IMenuModel* menu, const IBounds& rect) {
  ReleaseMouseCapture();
  if (menu == nullptr || display_ == nullptr || window_ == 0) return nullptr;
  std::shared_ptr<XcbDisplay> display = display_;
  HideTooltip();
  // The menu takes the pointer over from the press that opened it.
  grabbed_ = false;
  int rx = 0, ry = 0;
  display->RootPosition(window_, &rx, &ry);
  IMenuModel* result = nullptr;
  {
    XcbPopupMenu popup(display, menu, rx + rect.L, ry + rect.B);
    if (!popup.IsOpen()) return nullptr;
    RunModal(popup, display, popup.Window());
    IMenuModel* chosen = popup.ChosenMenu();
    const int item = popup.ChosenItem();
    // The choice travels as the menu's command number, as it does on every desktop of this family.
    const int command = chosen != nullptr ? menu->CommandNumber(chosen, item) : -1;
    IMenuModel* resolved = nullptr;
    int index = -1;
    if (command >= 0 && menu->ResolveCommand(command, &resolved, &index)) {
      const IMenuEntry* entry = resolved->Item(index);
      if (entry != nullptr && entry->IsChoosable()) {
        resolved->SetChosenItem(index);
        result = resolved;
      }
    }
  }
  if (display_ == display && window_ != 0) display->Flush();
  return result;
}

bool IGraphicsX11::LaunchWebPage(const char* url) {
  // Nothing that the opener could read as an option of its own.
  if (url == nullptr || url[0] == '\0' || url[0] == '-') return false;
  DesktopProcess opener;
  if (!opener.Start({"xdg-open", url}, false)) return false;
  const auto until = Clock::now() + std::chrono::milliseconds(kOpenerWaitMs);
  if (display_ != nullptr && window_ != 0) {
    ExitWait wait(opener, until);
    RunModal(wait, display_, 0);
  }
  while (opener.Running() && Clock::now() < until) {
    if (opener.Poll()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!opener.Running()) return opener.ExitStatus() == 0;
  // Still running (a browser started in the foreground): it is taken as opened and reaped later.
  opener.Detach();
  return true;
}

bool IGraphicsX11::DesktopChooser(const IFileRequest& request, std::string* chosen, bool* answered) {
  *answered = false;
  const bool save = request.action == IFileRequest::kSave;
  const std::string start = request.folder + request.fileName;
  std::string patterns;
  for (const auto& p : request.patterns) patterns += (patterns.empty() ? "" : " ") + p;
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const bool kde = desktop != nullptr && std::strstr(desktop, "KDE") != nullptr;
  std::vector<std::vector<std::string>> candidates;
  std::vector<std::string> zenity = {"zenity", "--file-selection", save ? "--title=Save" : "--title=Open",
                                     "--filename=" + start};
  if (save) {
    zenity.push_back("--save");
    zenity.push_back("--confirm-overwrite");
  }
  if (!patterns.empty()) zenity.push_back("--file-filter=" + request.filter + " | " + patterns);
  std::vector<std::string> kdialog = {"kdialog", "--title", save ? "Save" : "Open",
                                      save ? "--getsavefilename" : "--getopenfilename", start};
  if (!patterns.empty()) kdialog.push_back(patterns + "|" + request.filter);
  if (kde) {
    candidates = {kdialog, zenity};
  } else {
    candidates = {zenity, kdialog};
  }
  for (const auto& argv : candidates) {
    DesktopProcess process;
    if (!process.Start(argv, true)) continue;
    ProcessWait wait(process);
    RunModal(wait, display_, 0);
    if (wait.Aborted() || process.Running()) {
      process.Detach();
      *answered = true;
      return false;
    }
    const int status = process.ExitStatus();
    if (status == 0) {
      std::string path = process.Output();
      path = path.substr(0, path.find('\n'));
      *answered = true;
      if (path.empty() || path[0] != '/') return false;
      *chosen = path;
      return true;
    }
    // 1 is the user's cancel; anything else is a chooser that could not show (no display of its
    // own, a broken install): the next one is tried.
    if (status == 1) {
      *answered = true;
      return false;
    }
  }
  return false;
}

bool IGraphicsX11::ChooseFile(const IFileRequest& request, std::string* chosen) {
  if (display_ == nullptr || window_ == 0) return false;
  std::shared_ptr<XcbDisplay> display = display_;
  HideTooltip();
  ReleasePointer();
  if (g_desktopChoosers.load()) {
    bool answered = false;
    const bool ok = DesktopChooser(request, chosen, &answered);
    if (answered || display_ != display || window_ == 0) return ok;
  }
  XcbFileChooser chooser(display, request, topLevel_);
  if (!chooser.IsOpen()) return false;
  while (chooser.Result() == XcbFileChooser::State::kOpen) {
    RunModal(chooser, display, chooser.Window());
    if (chooser.WantsConfirmation()) {
      const std::string name = chooser.Chosen().substr(chooser.Chosen().rfind('/') + 1);
      chooser.Confirm(ShowMessage((name + " already exists.\nDo you want to replace it?").c_str(), "Confirm Save",
                                  kMessageYesNo) == kAnswerYes);
      if (display_ != display || window_ == 0) chooser.Abort();
    }
  }
  if (display_ == display && window_ != 0) {
    xcb_set_input_focus(display->Connection(), XCB_INPUT_FOCUS_PARENT, window_, XCB_CURRENT_TIME);
  }
  if (chooser.Result() != XcbFileChooser::State::kChosen) return false;
  *chosen = chooser.Chosen();
  return true;
}
