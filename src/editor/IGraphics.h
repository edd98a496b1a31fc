#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/IArgb.h"
#include "editor/IBlendMode.h"
#include "editor/IBounds.h"
#include "editor/IControl.h"
#include "editor/IImageStrip.h"
#include "editor/IKeyCode.h"
#include "editor/IMenuModel.h"
#include "editor/IMouseState.h"
#include "editor/ITextStyle.h"
#include "render/LICE_Bitmap.h"
#include "shell/IPlugEditor.h"

class IPlugBase;

// What a file chooser is asked for (built by AskForFile from its arguments).
struct IFileRequest {
  enum Action : int { kOpen = 0, kSave = 1 };

  int action = kOpen;
  std::string fileName;  // the name to start with (at most 255 characters)
  std::string folder;    // the folder to start in, never empty
  // "*.tun;*.scl;*.kbm": the filter's description and its pattern at once; "" lists every file.
  std::string filter;
  std::vector<std::string> patterns;  // the same, one pattern per entry
  std::string defaultExtension;       // appended to a chosen name without one; "" for none
};

// The graphics frame of the editor: the ordered list of controls (index 0 is the background), the
// drawing surface they are drawn on, the decision what to redraw, the routing of mouse and key
// events to the control under the pointer, and the drawing primitives the controls use.
//
// It knows no window system. A platform frame derives from it and supplies the window and the
// services a user answers (message boxes, menus, text entry, file choosers, web pages):
// IGraphicsOffscreen draws without a display, a window frame shows the surface in a window.
//
// Threads. Everything runs on the host's user-interface thread, except SetParameterFromPlugin, which
// the host's automation thread and the audio thread (MIDI controllers) call too, holding the plug-in
// lock. Values from another thread wait in one atomic slot per parameter and reach the controls on
// the user-interface thread at its next entry (FindDirtyArea, Draw, any event); that thread never
// needs the plug-in lock for it and the other threads never wait for it. The user-interface thread
// is the one that created the frame until a platform frame binds another (BindUserInterfaceThread)
// while the plug-in lock is held, e.g. when it opens its window.
class IGraphics : public IPlugEditor {
 public:
  // ShowMessage kinds and answers.
  static constexpr int kMessageOk = 0;
  static constexpr int kMessageYesNo = 4;
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;
  // Quiet ticks after which the plug-in's idle hook runs (on the one after them).
  static constexpr int kQuietTicksBeforeIdle = 20;

  IGraphics(IPlugBase* plug, int width, int height, int fps);
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // The frame behind an editor of this product (every one is an IGraphics), or null.
  static IGraphics* FromEditor(IPlugEditor* editor) { return dynamic_cast<IGraphics*>(editor); }

  // ---- Platform operations, in the framework's slot order. ----
  // Copies that part of the drawing surface to the window.
  virtual bool PresentRect(const IBounds& rect) = 0;                                         // 1
  virtual bool IsWindowOpen() { return GetWindowHandle() != nullptr; }                         // 2
  // kind: kMessageOk or kMessageYesNo; answers kAnswerOk, kAnswerYes or kAnswerNo.
  virtual int ShowMessage(const char* text, const char* caption, int kind) = 0;                // 3
  // Shows menu with its top-left corner at (rect.L, rect.B). Answers the (sub)menu that holds the
  // chosen item, its chosen item set, or null when nothing was chosen. Releases the mouse capture.
  virtual IMenuModel* ShowPopupMenu(IMenuModel* menu, const IBounds& rect) = 0;               // 4
  // A one-line text entry over rect for control; the text reaches the control's OnTextEntered
  // when committed. Ignored without a control or while an entry is open.
  virtual void OpenTextEntry(IControl* control, const ITextStyle& style, const IBounds& rect,
                             const char* initialText) = 0;                                    // 5
  // The plug-in library's folder with a trailing '/', "" when it cannot be told.
  virtual std::string GetPluginFolder();                                                       // 6
  virtual std::string GetDesktopFolder();                                                      // 7
  // An open (action 0) or save (action 1) chooser; extensions are space-separated words. On success
  // fileName becomes the full path chosen and folder its folder (with a trailing '/'); on cancel,
  // failure or without an open window, fileName becomes "".
  virtual void AskForFile(std::string& fileName, int action, std::string& folder, const char* extensions);  // 8
  // Asks the confirmation (Yes/No under title) when one is given, opens the page in the browser,
  // shows the failure text (when given) if that fails. Answers whether the page was opened.
  virtual bool OpenWebPage(const char* url, const char* title, const char* confirmation,
                           const char* failureText);                                           // 9
  // The window made inside parent, or null when none can be made.
  virtual void* OpenEditorWindow(void* parent) = 0;                                            // 10
  virtual void CloseEditorWindow() = 0;                                                        // 11
  virtual void* GetWindowHandle() = 0;                                                         // 12
  ~IGraphics() override;                                                                       // 13
  // The "PNG" resource id of the library, decoded; null when name's extension is not "png"
  // (ignoring case) or the resource is missing, too short or does not decode.
  virtual std::shared_ptr<LICE_Bitmap> LoadBitmapResource(int id, const char* name);           // 14

  // ---- IPlugEditor (the host binding's view). ----
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetParameterFromPlugin(int index, double value, bool normalised) override;
  void CreateSurfaces() override;
  bool OpenWindow(void* parent) override { return OpenEditorWindow(parent) != nullptr; }
  void CloseWindow() override { CloseEditorWindow(); }

  IPlugBase* Plug() const { return plug_; }
  int FrameRate() const { return fps_; }

  // ---- Building the editor. ----
  // Appends control; the frame owns it from now on. Answers its index.
  int AddControl(IControl* control);
  // Inserts at index 0 a bitmap control showing bitmap id (one frame) at (0, 0), clobbering.
  void SetBackground(int id, const char* name);
  // The image of resource id as a vertical strip of frames (through the process-wide cache). When
  // the image cannot be had, the strip has no image and draws nothing.
  IImageStrip LoadBitmap(int id, const char* name, int frames = 1);
  int NControls() const { return static_cast<int>(controls_.size()); }
  IControl* GetControl(int index) const;

  void HandleMouseOver(bool on) { handleMouseOver_ = on; }
  bool HandlesMouseOver() const { return handleMouseOver_; }
  void EnableTooltips(bool on) { tooltips_ = on; }
  bool TooltipsEnabled() const { return tooltips_; }
  void SetStrictDrawing(bool on) { strict_ = on; }

  // ---- Drawing primitives for controls' Draw; all clip to the redraw region. ----
  // Frame counts from 1. No blend draws over what is there at full opacity.
  bool BlitBitmap(const IImageStrip& bitmap, const IBounds& dest, int frame, const IBlendMode* blend);
  void FillRoundedRect(const IArgb& colour, const IBounds& rect, const IBlendMode* blend);
  void FillRect(const IArgb& colour, const IBounds& rect, const IBlendMode* blend);
  void FillCircle(const IArgb& colour, int cx, int cy, int radius, const IBlendMode* blend, bool antialias = true);
  void DrawLine(const IArgb& colour, int x1, int y1, int x2, int y2, const IBlendMode* blend, bool antialias = false);
  // One line of text in the style's font and colour, aligned in rect, not clipped to it. An empty
  // or missing text draws nothing and succeeds; a font that cannot be made fails. The style
  // remembers its font.
  bool DrawStyledText(ITextStyle* style, const char* text, const IBounds& rect);
  // text as it fits in width pixels in the style's font: whole, or cut short (between characters)
  // with "..." after it. Unchanged when the font cannot be made.
  std::string FitStyledText(ITextStyle* style, const std::string& text, int width);
  // The drawing surface (null before CreateSurfaces); controls may draw on it directly inside Draw.
  LICE_Bitmap* DrawBitmap() const { return drawBitmap_.get(); }
  LICE_Bitmap* ScratchBitmap() const { return scratchBitmap_.get(); }
  const IBounds& RedrawRegion() const { return drawRect_; }
  // Writes the drawing surface to a PNG file; answers success.
  bool WriteScreenshot(const std::string& path) const;

  // ---- Parameter traffic. ----
  void MarkAllControlsDirty();

  // ---- Events, in window coordinates (user-interface thread). ----
  void OnMouseDown(int x, int y, const IMouseState& mouse);
  void OnMouseUp(int x, int y, const IMouseState& mouse);
  // A move with a button held while the window holds the mouse.
  void OnMouseDrag(int x, int y, const IMouseState& mouse);
  void OnMouseDoubleClick(int x, int y, const IMouseState& mouse);
  void OnMouseWheel(int x, int y, const IMouseState& mouse, int d);
  // A move without buttons; answers whether mouse-over handling is on.
  bool OnMouseOver(int x, int y, const IMouseState& mouse);
  // The pointer left the window.
  void OnMouseOut();
  // key: an IKeyCode. Answers whether a control took it (else it goes back to the host).
  bool OnKeyDown(int x, int y, int key);
  // The control under (x, y): the captured one, else the last attached one that is visible and hit;
  // -1 for none.
  int FindControlAt(int x, int y);
  // Forgets the control holding the mouse (as a pop-up menu does before it opens).
  void ReleaseMouseCapture();
  int MouseCaptureIndex() const { return mouseCapture_; }
  int MouseOverIndex() const { return mouseOver_; }

  // ---- Redrawing (once per timer tick). ----
  // The union of the dirty controls' rects; answers whether any was dirty. After more than
  // kQuietTicksBeforeIdle quiet calls in a row, the plug-in's idle hook runs.
  bool FindDirtyArea(IBounds* rect);
  // Draws every visible control overlapping rect in list order, marks every control clean, then
  // presents rect.
  void Draw(const IBounds& rect);
  // FindDirtyArea, and Draw when something was dirty: what a timer tick does when the window has
  // nothing else to attend to. Answers whether it drew.
  bool RedrawDirty();
  int IdleTickCount() const { return idleTicks_; }

  // ---- The hand-over of values from other threads. ----
  // Makes the calling thread the user-interface thread; call with the plug-in lock held.
  void BindUserInterfaceThread();
  bool OnUserInterfaceThread() const;
  // Applies values pushed from other threads to the controls (user-interface thread only), then
  // runs the hand-over task when one was requested.
  void ApplyPendingValues();
  // The editor's own hand-over: state other threads leave in atomics (a control to hide, a switch
  // to turn off) is applied to the controls by task, on the user-interface thread at its next entry
  // after RequestHandOver. Set once while the editor is built.
  void SetHandOverTask(std::function<void()> task) { handOverTask_ = std::move(task); }
  // Any thread; never waits.
  void RequestHandOver() { handOverRequested_.store(true, std::memory_order_release); }

  // The union of the rects drawn by Draw since the last ForgetDrawnArea, and how many controls drew
  // in that time: what a repaint cost.
  const IBounds& DrawnArea() const { return drawnArea_; }
  int DrawnControlCount() const { return drawnControls_; }
  void ForgetDrawnArea() {
    drawnArea_ = IBounds();
    drawnControls_ = 0;
  }

 protected:
  // Opens url in the user's browser; answers success.
  virtual bool LaunchWebPage(const char* url) = 0;
  // Lets the user choose a file as request says; answers false when nothing was chosen. The frame
  // checks and completes the answer (default extension, existence) itself.
  virtual bool ChooseFile(const IFileRequest& request, std::string* chosen) = 0;

  // Builds the chooser request of AskForFile's arguments.
  static IFileRequest MakeFileRequest(const std::string& fileName, int action, const std::string& folder,
                                      const char* extensions);

 private:
  struct PendingValue {
    std::atomic<double> value{0.0};
    std::atomic<bool> waiting{false};
  };

  void ApplyValue(int index, double normalised);
  // The style's font, looked up once and remembered in the style; null when it cannot be made.
  static LICE_Font* FontOf(ITextStyle* style);
  void BlendFor(const IBlendMode* blend, float* opacity, int* method) const;

  IPlugBase* plug_;
  int width_;
  int height_;
  int fps_;
  std::vector<std::unique_ptr<IControl>> controls_;
  std::unique_ptr<LICE_Bitmap> drawBitmap_;
  std::unique_ptr<LICE_Bitmap> scratchBitmap_;
  IBounds drawRect_;
  int mouseCapture_ = -1;
  int mouseOver_ = -1;
  int mouseX_ = -1;
  int mouseY_ = -1;
  int idleTicks_ = 0;
  bool handleMouseOver_ = false;
  bool strict_ = true;
  bool tooltips_ = false;

  int nPending_ = 0;
  std::unique_ptr<PendingValue[]> pending_;
  std::atomic<bool> anyPending_{false};
  std::atomic<std::thread::id> uiThread_;
  std::function<void()> handOverTask_;
  std::atomic<bool> handOverRequested_{false};
  IBounds drawnArea_;
  int drawnControls_ = 0;
};
