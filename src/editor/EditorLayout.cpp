#include "editor/EditorLayout.h"

namespace editor_layout {
namespace {
// kBitmaps[] and kControls[], written by tools/artwork/make_layout_table.py.
#include "EditorLayoutTable.inc"
}  // namespace

std::span<const BitmapInfo> Bitmaps() { return kBitmaps; }

std::span<const ControlRow> Controls() { return kControls; }

const BitmapInfo* FindBitmap(int id) {
  for (const BitmapInfo& b : kBitmaps) {
    if (b.id == id) return &b;
  }
  return nullptr;
}

const ControlRow* FindControl(int paramOrId) {
  for (const ControlRow& c : kControls) {
    if (c.param == paramOrId) return &c;
  }
  return nullptr;
}

}  // namespace editor_layout
