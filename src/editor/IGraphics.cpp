#include "editor/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "editor/IBitmapControl.h"
#include "render/LICE_BitmapCache.h"
#include "render/LICE_Draw.h"
#include "render/LICE_Font.h"
#include "render/LICE_FontCache.h"
#include "render/LICE_PNG.h"
#include "shell/IPlugBase.h"
#include "shell/Resources.h"
#include "synth/UserFolders.h"

namespace {

// Limits of the desktop file dialogs this editor's behaviour comes from.
constexpr std::size_t kMaxFileName = 255;
constexpr std::size_t kMaxFilter = 255;
constexpr std::size_t kMaxDefaultExtension = 15;

bool HasPngExtension(const char* name) {
  if (name == nullptr) return false;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return false;
  const char* ext = dot + 1;
  return std::strlen(ext) == 3 && (ext[0] | 0x20) == 'p' && (ext[1] | 0x20) == 'n' && (ext[2] | 0x20) == 'g';
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : plug_(plug), width_(width), height_(height), fps_(fps), uiThread_(std::this_thread::get_id()) {
  nPending_ = plug_ != nullptr ? plug_->NParams() : 0;
  pending_ = std::make_unique<PendingValue[]>(static_cast<std::size_t>(std::max(nPending_, 1)));
}

IGraphics::~IGraphics() = default;

IControl* IGraphics::GetControl(int index) const {
  return index >= 0 && index < NControls() ? controls_[static_cast<std::size_t>(index)].get() : nullptr;
}

// ---- Surfaces and resources ------------------------------------------------------------------

void IGraphics::CreateSurfaces() {
  drawBitmap_ = std::make_unique<LICE_Bitmap>(width_, height_);
  scratchBitmap_ = std::make_unique<LICE_Bitmap>(width_, height_);
}

bool IGraphics::WriteScreenshot(const std::string& path) const {
  return drawBitmap_ != nullptr && LICE_WritePNG(*drawBitmap_, path);
}

std::shared_ptr<LICE_Bitmap> IGraphics::LoadBitmapResource(int id, const char* name) {
  if (!HasPngExtension(name)) return nullptr;
  const auto bytes = FindResource("PNG", std::to_string(id).c_str());
  // Nothing shorter than a PNG signature is worth decoding.
  if (!bytes.has_value() || bytes->size() <= 7) return nullptr;
  return LICE_LoadPNGFromMemory(bytes->data(), bytes->size());
}

IImageStrip IGraphics::LoadBitmap(int id, const char* name, int frames) {
  LICE_BitmapCache& cache = LICE_BitmapCache::Instance();
  std::shared_ptr<LICE_Bitmap> image = cache.Find(id);
  if (image == nullptr) image = cache.Add(id, LoadBitmapResource(id, name));
  IImageStrip strip;
  strip.image = image;
  strip.W = image != nullptr ? image->Width() : 0;
  strip.H = image != nullptr ? image->Height() : 0;
  strip.N = frames;
  strip.framesAreHorizontal = false;
  return strip;
}

// ---- Controls -----------------------------------------------------------------------------------

int IGraphics::AddControl(IControl* control) {
  if (control == nullptr) return -1;
  control->SetGUI(this);
  controls_.emplace_back(control);
  return NControls() - 1;
}

void IGraphics::SetBackground(int id, const char* name) {
  const IImageStrip bitmap = LoadBitmap(id, name, 1);
  auto* background = new IBitmapControl(plug_, 0, 0, -1, bitmap, IBlendMode::kClobber);
  background->SetGUI(this);
  controls_.insert(controls_.begin(), std::unique_ptr<IControl>(background));
  // Indices held for events move with the list.
  if (mouseCapture_ >= 0) ++mouseCapture_;
  if (mouseOver_ >= 0) ++mouseOver_;
}

void IGraphics::MarkAllControlsDirty() {
  ApplyPendingValues();
  for (auto& c : controls_) c->MarkDirty(false);
}

// ---- Parameter traffic ----------------------------------------------------------------------------

void IGraphics::SetParameterFromPlugin(int index, double value, bool normalised) {
  if (index < 0 || index >= nPending_ || std::isnan(value)) return;
  if (!normalised) {
    const Parameter* p = plug_->GetParam(index);
    if (p == nullptr) return;
    value = p->ToNormalised(value);
  }
  if (OnUserInterfaceThread()) {
    // Anything older from another thread goes first, so that it cannot overwrite this value later.
    ApplyPendingValues();
    ApplyValue(index, value);
    return;
  }
  PendingValue& slot = pending_[static_cast<std::size_t>(index)];
  slot.value.store(value, std::memory_order_relaxed);
  slot.waiting.store(true, std::memory_order_release);
  anyPending_.store(true, std::memory_order_release);
}

void IGraphics::ApplyValue(int index, double normalised) {
  for (auto& c : controls_) {
    if (c->ParamIdx() == index) c->SetValueFromPlugin(normalised);
  }
}

void IGraphics::ApplyPendingValues() {
  if (anyPending_.exchange(false, std::memory_order_acquire)) {
    for (int i = 0; i < nPending_; ++i) {
      PendingValue& slot = pending_[static_cast<std::size_t>(i)];
      // A value stored after the flag was taken sets it again and is applied on the next call.
      if (slot.waiting.exchange(false, std::memory_order_acquire)) {
        ApplyValue(i, slot.value.load(std::memory_order_relaxed));
      }
    }
  }
  // After the values, so that the task sees the controls as the other threads left them.
  if (handOverTask_ && handOverRequested_.exchange(false, std::memory_order_acquire)) handOverTask_();
}

void IGraphics::BindUserInterfaceThread() { uiThread_.store(std::this_thread::get_id(), std::memory_order_release); }

bool IGraphics::OnUserInterfaceThread() const {
  return uiThread_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

// ---- Events ---------------------------------------------------------------------------------------

int IGraphics::FindControlAt(int x, int y) {
  if (mouseCapture_ >= 0) return mouseCapture_;
  for (int i = NControls() - 1; i >= 0; --i) {
    IControl* c = controls_[static_cast<std::size_t>(i)].get();
    if (!c->IsHidden() && c->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::ReleaseMouseCapture() {
  mouseCapture_ = -1;
  mouseX_ = -1;
  mouseY_ = -1;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseState& mouse) {
  ApplyPendingValues();
  ReleaseMouseCapture();
  const int i = FindControlAt(x, y);
  if (i < 0) return;
  mouseCapture_ = i;
  mouseX_ = x;
  mouseY_ = y;
  IControl* c = controls_[static_cast<std::size_t>(i)].get();
  if (c->ParamIdx() >= 0 && plug_ != nullptr) plug_->BeginParameterGesture(c->ParamIdx());
  c->OnMouseDown(x, y, mouse);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseState& mouse) {
  ApplyPendingValues();
  const int i = FindControlAt(x, y);
  ReleaseMouseCapture();
  IControl* c = GetControl(i);
  if (c == nullptr) return;
  c->OnMouseUp(x, y, mouse);
  if (c->ParamIdx() >= 0 && plug_ != nullptr) plug_->EndParameterGesture(c->ParamIdx());
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseState& mouse) {
  ApplyPendingValues();
  IControl* c = GetControl(mouseCapture_);
  if (c == nullptr || (x == mouseX_ && y == mouseY_)) return;
  const int dX = x - mouseX_;
  const int dY = y - mouseY_;
  mouseX_ = x;
  mouseY_ = y;
  c->OnMouseDrag(x, y, dX, dY, mouse);
}

void IGraphics::OnMouseDoubleClick(int x, int y, const IMouseState& mouse) {
  ApplyPendingValues();
  ReleaseMouseCapture();
  if (IControl* c = GetControl(FindControlAt(x, y))) c->OnMouseDoubleClick(x, y, mouse);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseState& mouse, int d) {
  ApplyPendingValues();
  if (IControl* c = GetControl(FindControlAt(x, y))) c->OnMouseWheel(x, y, mouse, d);
}

bool IGraphics::OnMouseOver(int x, int y, const IMouseState& mouse) {
  if (!handleMouseOver_) return false;
  ApplyPendingValues();
  const int i = FindControlAt(x, y);
  if (IControl* c = GetControl(i)) {
    mouseX_ = x;
    mouseY_ = y;
    c->OnMouseOver(x, y, mouse);
  }
  if (mouseOver_ >= 0 && mouseOver_ != i) {
    if (IControl* previous = GetControl(mouseOver_)) previous->OnMouseOut();
  }
  mouseOver_ = i;
  return true;
}

void IGraphics::OnMouseOut() {
  ApplyPendingValues();
  for (auto& c : controls_) c->OnMouseOut();
  mouseOver_ = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  ApplyPendingValues();
  const int i = FindControlAt(x, y);
  // The background never takes keys.
  if (i <= 0) return false;
  return controls_[static_cast<std::size_t>(i)]->OnKeyDown(x, y, key);
}

// ---- Redrawing ------------------------------------------------------------------------------------

bool IGraphics::FindDirtyArea(IBounds* rect) {
  ApplyPendingValues();
  IBounds area;
  bool dirty = false;
  for (auto& c : controls_) {
    if (c->FindDirtyArea()) {
      dirty = true;
      area = area.Union(c->Rect());
    }
  }
  if (rect != nullptr) *rect = area;
  if (dirty) {
    idleTicks_ = 0;
  } else if (++idleTicks_ > kQuietTicksBeforeIdle) {
    idleTicks_ = 0;
    if (plug_ != nullptr) plug_->OnHostIdle();
  }
  return dirty;
}

void IGraphics::Draw(const IBounds& rect) {
  ApplyPendingValues();
  if (drawBitmap_ == nullptr) return;
  drawRect_ = rect;
  drawBitmap_->SetClip(rect.L, rect.T, rect.R, rect.B);
  if (strict_) {
    for (auto& c : controls_) {
      if (!c->IsHidden() && c->Rect().Overlaps(drawRect_)) {
        c->Draw(*this);
        drawnArea_ = drawnArea_.Union(c->Rect().Intersect(drawRect_));
        ++drawnControls_;
      }
      c->MarkClean();
    }
  } else {
    // Only what changed, and what lies on top of or beneath it.
    std::vector<IBounds> dirtyRects;
    for (auto& c : controls_) {
      if (c->IsDirty() && !c->IsHidden()) dirtyRects.push_back(c->Rect());
    }
    for (auto& c : controls_) {
      const bool touched = c->IsDirty() || std::any_of(dirtyRects.begin(), dirtyRects.end(),
                                                       [&](const IBounds& d) { return c->Rect().Overlaps(d); });
      if (touched && !c->IsHidden() && c->Rect().Overlaps(drawRect_)) c->Draw(*this);
      c->MarkClean();
    }
  }
  drawBitmap_->ClearClip();
  PresentRect(rect);
}

bool IGraphics::RedrawDirty() {
  IBounds area;
  if (!FindDirtyArea(&area)) return false;
  Draw(area);
  return true;
}

// ---- Drawing primitives ------------------------------------------------------------------------

void IGraphics::BlendFor(const IBlendMode* blend, float* opacity, int* method) const {
  *opacity = blend != nullptr ? blend->weight : 1.0f;
  *method = blend != nullptr ? blend->method : IBlendMode::kNone;
}

bool IGraphics::BlitBitmap(const IImageStrip& bitmap, const IBounds& dest, int frame, const IBlendMode* blend) {
  if (drawBitmap_ == nullptr || bitmap.image == nullptr) return false;
  float opacity = 1.0f;
  int method = IBlendMode::kNone;
  BlendFor(blend, &opacity, &method);
  LICE_BlitMode mode = LICE_BlitMode::kAlpha;
  if (method == IBlendMode::kClobber) mode = LICE_BlitMode::kCopy;
  else if (method == IBlendMode::kAdd) mode = LICE_BlitMode::kAdd;
  else if (method == IBlendMode::kDodge) mode = LICE_BlitMode::kDodge;
  const int offset = bitmap.FrameOffset(frame);
  const int srcX = bitmap.framesAreHorizontal ? offset : 0;
  const int srcY = bitmap.framesAreHorizontal ? 0 : offset;
  LICE_Blit(*drawBitmap_, *bitmap.image, dest.L, dest.T, srcX, srcY, dest.W(), dest.H(), opacity, mode);
  return true;
}

void IGraphics::FillRect(const IArgb& colour, const IBounds& rect, const IBlendMode* blend) {
  if (drawBitmap_ == nullptr) return;
  float opacity = 1.0f;
  int method = IBlendMode::kNone;
  BlendFor(blend, &opacity, &method);
  LICE_FillRect(*drawBitmap_, rect.L, rect.T, rect.W(), rect.H(), colour.Packed(), opacity);
}

void IGraphics::FillCircle(const IArgb& colour, int cx, int cy, int radius, const IBlendMode* blend, bool antialias) {
  if (drawBitmap_ == nullptr) return;
  float opacity = 1.0f;
  int method = IBlendMode::kNone;
  BlendFor(blend, &opacity, &method);
  LICE_FillCircle(*drawBitmap_, static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(radius),
                  colour.Packed(), opacity, antialias);
}

void IGraphics::DrawLine(const IArgb& colour, int x1, int y1, int x2, int y2, const IBlendMode* blend, bool antialias) {
  if (drawBitmap_ == nullptr) return;
  float opacity = 1.0f;
  int method = IBlendMode::kNone;
  BlendFor(blend, &opacity, &method);
  LICE_Line(*drawBitmap_, x1, y1, x2, y2, colour.Packed(), opacity, antialias);
}

void IGraphics::FillRoundedRect(const IArgb& colour, const IBounds& r, const IBlendMode* blend) {
  FillRect(colour, IBounds(r.L + 2, r.T, r.R - 2, r.B), blend);
  FillRect(colour, IBounds(r.L, r.T + 2, r.L + 2, r.B - 2), blend);
  FillRect(colour, IBounds(r.R - 2, r.T + 2, r.R, r.B - 2), blend);
  FillCircle(colour, r.L + 2, r.T + 2, 2, blend);
  FillCircle(colour, r.R - 3, r.T + 2, 2, blend);
  FillCircle(colour, r.L + 2, r.B - 3, 2, blend);
  FillCircle(colour, r.R - 3, r.B - 3, 2, blend);
}

LICE_Font* IGraphics::FontOf(ITextStyle* style) {
  if (style == nullptr) return nullptr;
  if (style->cachedFont == nullptr) {
    LICE_FontDescription d;
    d.height = style->size;
    d.escapement = style->orientation * 10;
    d.weight = style->style == ITextStyle::kBold ? 700 : 400;
    d.italic = style->style == ITextStyle::kItalic;
    d.face.assign(style->face, strnlen(style->face, ITextStyle::kFaceSize));
    d.quality = static_cast<LICE_FontQuality>(std::clamp(style->quality, 0, 3));
    style->cachedFont = LICE_FontCache::Instance().Get(d);
  }
  return style->cachedFont;
}

std::string IGraphics::FitStyledText(ITextStyle* style, const std::string& text, int width) {
  const LICE_Font* font = FontOf(style);
  if (font == nullptr || font->TextWidth(text) <= width) return text;
  // Cut only between UTF-8 sequences: a broken one would make the font read the whole text as
  // another encoding.
  for (std::size_t end = text.size(); end > 0;) {
    --end;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    std::size_t keep = end;
    while (keep > 0 && text[keep - 1] == ' ') --keep;
    const std::string cut = text.substr(0, keep) + "...";
    if (font->TextWidth(cut) <= width) return cut;
  }
  return "...";
}

bool IGraphics::DrawStyledText(ITextStyle* style, const char* text, const IBounds& rect) {
  if (text == nullptr || text[0] == '\0') return true;
  if (style == nullptr) return false;
  if (FontOf(style) == nullptr) return false;
  if (drawBitmap_ == nullptr) return true;
  LICE_TextAlign align = LICE_TextAlign::kLeft;
  if (style->align == ITextStyle::kAlignCentre) align = LICE_TextAlign::kCentre;
  else if (style->align == ITextStyle::kAlignRight) align = LICE_TextAlign::kRight;
  // Full alpha draws opaque; anything below it is honoured.
  style->cachedFont->DrawText(*drawBitmap_, text, rect.L, rect.T, rect.R, rect.B, align, style->colour.Packed());
  return true;
}

// ---- Platform services with a common part ----------------------------------------------------------

std::string IGraphics::GetPluginFolder() {
  const std::string folder = GetModuleFolder();
  return folder.empty() ? std::string() : folder + "/";
}

std::string IGraphics::GetDesktopFolder() { return UserFolders::DesktopFolder(); }

bool IGraphics::OpenWebPage(const char* url, const char* title, const char* confirmation, const char* failureText) {
  if (url == nullptr || url[0] == '\0') return false;
  if (confirmation != nullptr && confirmation[0] != '\0' &&
      ShowMessage(confirmation, title != nullptr ? title : "", kMessageYesNo) != kAnswerYes) {
    return false;
  }
  if (LaunchWebPage(url)) return true;
  if (failureText != nullptr && failureText[0] != '\0') {
    ShowMessage(failureText, title != nullptr ? title : "", kMessageOk);
  }
  return false;
}

IFileRequest IGraphics::MakeFileRequest(const std::string& fileName, int action, const std::string& folder,
                                        const char* extensions) {
  IFileRequest request;
  request.action = action == IFileRequest::kSave ? IFileRequest::kSave : IFileRequest::kOpen;
  request.fileName = fileName.substr(0, kMaxFileName);
  request.folder = folder;
  if (extensions == nullptr || extensions[0] == '\0') return request;
  std::vector<std::string> words;
  std::string word;
  for (const char* p = extensions;; ++p) {
    if (*p == ' ' || *p == '\0') {
      if (!word.empty()) words.push_back(word);
      word.clear();
      if (*p == '\0') break;
    } else {
      word += *p;
    }
  }
  // Nothing but spaces: the bare pattern, which lists names without an extension.
  if (words.empty()) words.emplace_back();
  for (const std::string& w : words) {
    const std::string pattern = "*." + w;
    const std::size_t length = request.filter.size() + (request.filter.empty() ? 0 : 1) + pattern.size();
    if (length > kMaxFilter) break;
    if (!request.filter.empty()) request.filter += ';';
    request.filter += pattern;
    request.patterns.push_back(pattern);
  }
  request.defaultExtension = words.front().substr(0, kMaxDefaultExtension);
  return request;
}

void IGraphics::AskForFile(std::string& fileName, int action, std::string& folder, const char* extensions) {
  if (!IsWindowOpen()) {
    fileName.clear();
    return;
  }
  IFileRequest request = MakeFileRequest(fileName, action, folder.empty() ? GetDesktopFolder() : folder, extensions);
  std::string chosen;
  if (!ChooseFile(request, &chosen) || chosen.empty() || chosen.back() == '/') {
    fileName.clear();
    return;
  }
  // A name typed without an extension gets the default one (when opening, only if the bare name
  // is not there).
  if (!request.defaultExtension.empty() && FileNameOf(chosen).find('.') == std::string::npos &&
      (request.action == IFileRequest::kSave || !UserFolders::IsFile(chosen))) {
    chosen += "." + request.defaultExtension;
  }
  // Opening needs an existing file, saving an existing folder.
  const bool usable = request.action == IFileRequest::kOpen ? UserFolders::IsFile(chosen)
                                                            : UserFolders::IsFolder(FolderOf(chosen));
  if (!usable) {
    fileName.clear();
    return;
  }
  fileName = chosen;
  folder = FolderOf(chosen);
}
