#pragma once

#include <span>

// The editor's layout: its window, its bitmaps and every control in the order the editor attaches
// them, with class, bitmaps, constructor arguments, rect, parameter or action id and extras.
// Generated at build time from resources/editor/EditorLayout.txt, the file the artwork generator
// also reads to print each control's caption and scale on the background, so that the code and
// the picture cannot disagree. Plain data: no drawing, no editor classes.
namespace editor_layout {

inline constexpr int kEditorWidth = 1127;
inline constexpr int kEditorHeight = 776;
inline constexpr int kEditorFps = 25;
inline constexpr int kControlCount = 158;  // after the background

// Bitmap ids the editor code names directly (the table lists all of them).
inline constexpr int kBackgroundBitmap = 101;     // "tarvolin.png"
inline constexpr int kButtonWhiteOffBitmap = 106; // the paste button while the clipboard is empty
inline constexpr int kButtonWhiteOnBitmap = 107;  // ... and while it holds a program
inline constexpr int kLearnBitmap = 117;          // the MIDI-learn switch in learn mode
inline constexpr int kUnlearnBitmap = 118;        // ... and in unlearn mode

// The control classes, named as the classes the editor builds.
enum class ControlClass : int {
  IBitmapControl,
  ISwitchControl,
  IContactControl,
  IKnobControl,
  IKnobMultiControl,
  ITextControl,
  ISMBitmapControl,
  ISMSwitchControl,
  ISMSwitchMidiLearn,
  ISMButtonKick,
  ISMUtilityKick,
  ISMKnobControl,
  ISMVoicesControl,
  ISMSourceControl,
  ISMOptionMenu,
  ISMPresetMenu,
  ISMTuningControl,
  ISMWaveTableControl,
};

struct Rect {
  int l, t, r, b;
};

struct BitmapInfo {
  int id;
  const char* file;  // resource file name, e.g. "knob.png"
  int width, height;  // whole strip
  int frames;         // vertical strip of equal frames
  bool preload;       // loaded while the editor is built, in table order
};

// A text style as the editor's ITextStyle takes it; size 0 means "the class's own style".
struct TextStyleSpec {
  const char* face;
  int size;
  int a, r, g, b;
  int style;  // 0 normal, 1 bold, 2 italic
  int align;  // 0 left, 1 centre, 2 right
};

struct ControlRow {
  int number;          // position after the background, 1-based (control list index)
  int param;           // parameter index >= 0, or a negative action / display id (-1 none)
  ControlClass cls;
  int bitmap;          // bitmap id, 0 when the class draws without one
  int bitmapOn;        // ISMButtonKick: the lit bitmap (bitmap is the unlit one); else 0
  int argCount;        // 0 to 4
  int args[4];         // position values for the constructor (doubled for the halving classes;
                       // a rect for the menu, text and tuning controls)
  Rect rect;           // the control's rect once built
  double gearing;      // knobs; 0 for other classes
  bool dimWhenOff;     // source pickers that draw "OFF" in their dim style
  Rect numberRect;     // ISMPresetMenu: program number and name rects; else all 0
  Rect nameRect;
  const char* name;    // the parameter's name as the host shows it, "" for id rows
  const char* what;    // what an id row does, "" for parameter rows
  const char* caption; // the label the background prints for it ("" none); fits a tooltip
  const char* text;    // ITextControl: its text
  TextStyleSpec style; // ITextControl: its style
};

std::span<const BitmapInfo> Bitmaps();
std::span<const ControlRow> Controls();

// The bitmap with this id, or nullptr.
const BitmapInfo* FindBitmap(int id);

// The first control bound to this parameter index or action / display id, or nullptr.
const ControlRow* FindControl(int paramOrId);

}  // namespace editor_layout
