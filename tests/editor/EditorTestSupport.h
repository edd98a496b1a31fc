#pragma once

// A small plug-in and a recording control for exercising the editor frame without the instrument.

#include <memory>
#include <string>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsOffscreen.h"
#include "render/LICE_Bitmap.h"
#include "shell/IPlugBase.h"

// Four parameters 0 ... 100 (default 25); records what the frame asks of the plug-in.
class RecordingPlug : public IPlugBase {
 public:
  static const PluginInfo& Info4() {
    static const PluginInfo info = [] {
      PluginInfo i;
      i.parameterCount = 4;
      i.programCount = 1;
      return i;
    }();
    return info;
  }
  RecordingPlug() : IPlugBase(Info4()) {
    for (int i = 0; i < NParams(); ++i) GetParam(i)->InitDouble("P", 25.0, 0.0, 100.0, 0.01, 1.0);
  }
  void OnHostIdle() override { ++idleCalls; }
  void BeginParameterGesture(int index) override { out->push_back("begin " + std::to_string(index)); }
  void EndParameterGesture(int index) override { out->push_back("end " + std::to_string(index)); }
  void ReportParameterChange(int index, double normalised) override {
    out->push_back("report " + std::to_string(index) + " " + std::to_string(normalised).substr(0, 4));
  }

  int idleCalls = 0;
  std::vector<std::string> log;
  // Where the calls are written (a test may share one log with its controls).
  std::vector<std::string>* out = &log;
};

// Records every event it gets into a shared log as "<name> <event>"; draws a flat colour.
class ProbeControl : public IControl {
 public:
  ProbeControl(IPlugBase* plug, std::vector<std::string>* log, std::string name, const IBounds& rect, int paramIdx = -1)
      : IControl(plug, rect, paramIdx), log_(log), name_(std::move(name)) {}

  void OnMouseDown(int x, int y, const IMouseState& m) override { Note("down", x, y, m.R ? " R" : ""); }
  void OnMouseUp(int x, int y, const IMouseState&) override { Note("up", x, y); }
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseState&) override {
    Note("drag", x, y, std::string(" d") + std::to_string(dX) + "," + std::to_string(dY));
  }
  void OnMouseDoubleClick(int x, int y, const IMouseState& m) override {
    Note("double", x, y);
    IControl::OnMouseDoubleClick(x, y, m);
  }
  void OnMouseWheel(int x, int y, const IMouseState&, int d) override {
    Note("wheel", x, y, std::string(" ") + std::to_string(d));
  }
  bool OnKeyDown(int x, int y, int key) override {
    Note("key", x, y, std::string(" ") + std::to_string(key));
    return takesKeys;
  }
  void OnMouseOver(int x, int y, const IMouseState&) override { Note("over", x, y); }
  void OnMouseOut() override { log_->push_back(name_ + " out"); }
  bool Draw(IGraphics& g) override {
    log_->push_back(name_ + " draw");
    g.FillRect(colour, rect_, nullptr);
    return true;
  }
  void OnTextEntered(const char* text) override { log_->push_back(name_ + " text " + text); }

  bool takesKeys = false;
  IArgb colour{255, 200, 100, 50};

 private:
  void Note(const char* what, int x, int y, const std::string& extra = "") {
    log_->push_back(name_ + " " + what + " " + std::to_string(x) + "," + std::to_string(y) + extra);
  }
  std::vector<std::string>* log_;
  std::string name_;
};

// A vertical strip of frames frameWidth x frameHeight whose frame k (from 1) is filled with the
// opaque colour 0xFF0000kk.
inline std::shared_ptr<LICE_Bitmap> MakeNumberedStrip(int frameWidth, int frameHeight, int frames) {
  auto bitmap = std::make_shared<LICE_Bitmap>(frameWidth, frameHeight * frames);
  cairo_surface_flush(bitmap->Surface());
  for (int y = 0; y < bitmap->Height(); ++y) {
    for (int x = 0; x < frameWidth; ++x) bitmap->Row(y)[x] = 0xFF000000u | static_cast<std::uint32_t>(y / frameHeight + 1);
  }
  bitmap->MarkDirty();
  return bitmap;
}

// The pixels of r, row by row.
inline std::vector<std::uint32_t> Pixels(const LICE_Bitmap& bitmap, const IBounds& r) {
  cairo_surface_flush(bitmap.Surface());
  std::vector<std::uint32_t> out;
  for (int y = r.T; y < r.B; ++y) {
    for (int x = r.L; x < r.R; ++x) out.push_back(bitmap.Row(y)[x]);
  }
  return out;
}

// An off-screen frame whose resources with ids from 9000 on are numbered strips: id 9000 + 100 * f
// + h has f frames of 8 x h pixels. Counts resource loads.
class StripFrame : public IGraphicsOffscreen {
 public:
  explicit StripFrame(IPlugBase* plug, int width = 200, int height = 100) : IGraphicsOffscreen(plug, width, height, 25) {}
  std::shared_ptr<LICE_Bitmap> LoadBitmapResource(int id, const char* name) override {
    ++resourceLoads;
    if (id < 9000) return IGraphicsOffscreen::LoadBitmapResource(id, name);
    const int frames = (id - 9000) / 100;
    const int height = (id - 9000) % 100;
    if (frames <= 0 || height <= 0) return nullptr;
    return MakeNumberedStrip(8, height, frames);
  }
  int resourceLoads = 0;
};
