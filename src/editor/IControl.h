#pragma once

#include <string>

#include "editor/IBlendMode.h"
#include "editor/IBounds.h"
#include "editor/IMouseState.h"
#include "editor/ITextStyle.h"

class IGraphics;
class IPlugBase;

// The base of every control of the editor: where it draws and where it takes the mouse, the
// parameter it serves (or, below -1, the action it stands for), its normalised value and whether it
// must be redrawn. The frame (IGraphics) owns its controls and calls them on the user-interface
// thread only.
class IControl {
 public:
  IControl(IPlugBase* plug, const IBounds& rect, int paramIdx = -1, int blendMethod = IBlendMode::kNone);

  // Virtual operations, in the framework's slot order.
  virtual ~IControl();                                                                     // 1
  virtual void OnMouseDown(int /*x*/, int /*y*/, const IMouseState& /*mouse*/) {}          // 2
  virtual void OnMouseUp(int /*x*/, int /*y*/, const IMouseState& /*mouse*/) {}            // 3
  virtual void OnMouseDrag(int /*x*/, int /*y*/, int /*dX*/, int /*dY*/, const IMouseState& /*mouse*/) {}  // 4
  // Back to the default value (pushed to the parameter) when there is one.
  virtual void OnMouseDoubleClick(int x, int y, const IMouseState& mouse);                 // 5
  // d in wheel notches, positive away from the user.
  virtual void OnMouseWheel(int /*x*/, int /*y*/, const IMouseState& /*mouse*/, int /*d*/) {}  // 6
  // key: an IKeyCode; answers whether the control took the key.
  virtual bool OnKeyDown(int /*x*/, int /*y*/, int /*key*/) { return false; }              // 7
  virtual void OnMouseOver(int /*x*/, int /*y*/, const IMouseState& /*mouse*/) {}          // 8
  virtual void OnMouseOut() {}                                                             // 9
  virtual bool Draw(IGraphics& graphics) = 0;                                              // 10
  // The first value the plug-in pushes becomes the default value too.
  virtual void SetValueFromPlugin(double value);                                           // 11
  virtual void SetValueFromUser(double value);                                             // 12
  virtual void OnTextEntered(const char* /*text*/) {}                                      // 13
  virtual void Hide(bool hidden);                                                          // 14
  virtual bool HitTest(int x, int y);                                                      // 15
  // Clamps the value and marks the control dirty; with push, hands the value to the parameter.
  virtual void MarkDirty(bool push);                                                       // 16
  virtual void MarkClean();                                                                // 17
  virtual bool FindDirtyArea();                                                            // 18

  IPlugBase* Plug() const { return plug_; }
  // The frame that owns the control (set when it is added), or null before.
  IGraphics* GetGUI() const { return graphics_; }
  void SetGUI(IGraphics* graphics) { graphics_ = graphics; }

  const IBounds& Rect() const { return rect_; }
  void SetRect(const IBounds& rect) { rect_ = rect; }
  const IBounds& TargetRect() const { return targetRect_; }
  void SetTargetRect(const IBounds& rect) { targetRect_ = rect; }
  int ParamIdx() const { return paramIdx_; }
  double Value() const { return value_; }
  double DefaultValue() const { return defaultValue_; }
  void SetDefaultValue(double value) { defaultValue_ = value; }
  void SetClamp(double low, double high) {
    clampLo_ = low;
    clampHi_ = high;
  }
  double ClampLow() const { return clampLo_; }
  double ClampHigh() const { return clampHi_; }
  bool IsDirty() const { return dirty_; }
  bool IsHidden() const { return hidden_; }
  bool RedrawPending() const { return redraw_; }
  const IBlendMode& Blend() const { return blend_; }
  void SetBlend(const IBlendMode& blend) { blend_ = blend; }
  const ITextStyle& Text() const { return text_; }
  ITextStyle& Text() { return text_; }
  void SetText(const ITextStyle& text) { text_ = text; }
  int TextEntryLength() const { return textEntryLength_; }
  void SetTextEntryLength(int length) { textEntryLength_ = length; }
  const std::string& Tooltip() const { return tooltip_; }
  void SetTooltip(std::string tooltip) { tooltip_ = std::move(tooltip); }

 protected:
  int textEntryLength_ = 7;
  ITextStyle text_;
  IPlugBase* plug_ = nullptr;
  IBounds rect_;
  IBounds targetRect_;
  int paramIdx_ = -1;
  double value_ = 0.0;
  double defaultValue_ = -1.0;
  double clampLo_ = 0.0;
  double clampHi_ = 1.0;
  bool dirty_ = true;
  bool hidden_ = false;
  bool redraw_ = false;
  IBlendMode blend_;
  std::string tooltip_;

 private:
  IGraphics* graphics_ = nullptr;
};
