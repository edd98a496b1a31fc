#pragma once

#include <memory>

class IPlugBase;

// What the host binding needs of the editor frame. The graphics frame of the editor implements it;
// until an editor is attached the binding answers the editor opcodes as a plug-in without one.
class IPlugEditor {
 public:
  virtual ~IPlugEditor() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Pushes a parameter value (plain, or normalised when normalised is true) into the controls bound
  // to it. Called with the plug-in lock held, from any thread; never waits for the user interface.
  virtual void SetParameterFromPlugin(int index, double value, bool normalised) = 0;
  // Creates the drawing surfaces; called once when the editor is attached.
  virtual void CreateSurfaces() = 0;
  // Whether this editor can show a window at all; only then are hosts told that the plug-in has an
  // editor. An editor that draws off screen only (tests, screenshots) answers false.
  virtual bool CanOpenWindow() const = 0;
  // Opens the window inside the host's parent window (an X11 window id); answers success.
  virtual bool OpenWindow(void* parent) = 0;
  virtual void CloseWindow() = 0;
  // The host's idle call while the window is open (effEditIdle, on its user-interface thread,
  // outside the plug-in lock): the window's events and the redraw tick run here.
  virtual void Idle() {}
};

// The editor frame of this platform for an instance (width x height pixels, redrawn fps times a
// second), or null when the library is built without an editor.
std::unique_ptr<IPlugEditor> CreatePlatformEditor(IPlugBase* plug, int width, int height, int fps);
