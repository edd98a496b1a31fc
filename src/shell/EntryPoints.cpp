// The two exported entry points of the plug-in library. Nothing else is exported.
#include <algorithm>
#include <mutex>
#include <new>

#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace {

// Serialises instance creation; made on first use, thread-safely, and gone when the library unloads.
std::mutex& CreationLock() {
  static std::mutex lock;
  return lock;
}

AEffect* CreateInstance(HostCallback host) {
  std::lock_guard<std::mutex> guard(CreationLock());
  try {
    auto* plug = new Tarvolin(host);
    plug->FillEmptyPrograms("Empty", plug->NPrograms());
    AEffect* effect = plug->GetAEffect();
    effect->numPrograms = std::max(1, effect->numPrograms);
    return effect;
  } catch (...) {
    // No exception may reach the host.
    return nullptr;
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(HostCallback host) {
  return CreateInstance(host);
}

// Older Linux hosts look for "main".
extern "C" __attribute__((visibility("default"))) AEffect* vstMainEntry(HostCallback host) asm("main");
AEffect* vstMainEntry(HostCallback host) { return CreateInstance(host); }
