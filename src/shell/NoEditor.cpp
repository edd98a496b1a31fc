// The library built without an editor (its libraries were not available): there is none, and the
// host binding answers the editor opcodes as a plug-in without one.
#include "shell/IPlugEditor.h"

std::unique_ptr<IPlugEditor> CreatePlatformEditor(IPlugBase*, int, int, int) { return nullptr; }

#include "engine/ProductEditor.h"

std::unique_ptr<ProductEditor> BuildProductEditor(Tarvolin&) { return nullptr; }
