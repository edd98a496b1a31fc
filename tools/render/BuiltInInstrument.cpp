#include "BuiltInInstrument.h"

#include <algorithm>

#include "engine/Tarvolin.h"
#include "shell/IPlugVST.h"
#if TARVOLIN_WITH_EDITOR
#include "editor/EditorLayout.h"
#include "editor/EditorScreenshot.h"
#include "editor/IGraphics.h"
#include "editor/PlatformEditor.h"
#endif

namespace BuiltInInstrument {

AEffect* Create(HostCallback host) {
#if TARVOLIN_WITH_EDITOR
  SetGraphicsFactory(&CreateOffscreenGraphics);
#endif
  // As the library's entry point makes one.
  auto* plug = new Tarvolin(host);
  plug->FillEmptyPrograms("Empty", plug->NPrograms());
  AEffect* effect = plug->GetAEffect();
  effect->numPrograms = std::max(1, effect->numPrograms);
  return effect;
}

bool WriteScreenshot(AEffect* effect, const std::string& path, int hover, std::string* error) {
#if TARVOLIN_WITH_EDITOR
  auto* plug = static_cast<Tarvolin*>(IPlugVST::FromEffect(effect));
  IGraphics* frame = plug != nullptr ? IGraphics::FromEditor(plug->GetEditor()) : nullptr;
  if (frame == nullptr) {
    *error = "the instrument has no editor";
    return false;
  }
  if (hover >= 0) {
    const editor_layout::ControlRow* row = editor_layout::FindControl(hover);
    if (row == nullptr) {
      *error = "no control shows parameter " + std::to_string(hover);
      return false;
    }
    frame->OnMouseOver((row->rect.l + row->rect.r) / 2, (row->rect.t + row->rect.b) / 2, IMouseState());
  }
  return EditorScreenshot::Write(*frame, path, error);
#else
  (void)effect;
  (void)hover;
  (void)path;
  *error = "this tool was built without the editor";
  return false;
#endif
}

}  // namespace BuiltInInstrument
