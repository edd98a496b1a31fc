// Exported entry points of the plug-in library. Filled in with the host binding.
extern "C" __attribute__((visibility("default"))) void* VSTPluginMain(void*) { return nullptr; }
extern "C" __attribute__((visibility("default"))) void* vstMainEntry(void*) asm("main");
void* vstMainEntry(void* host) { return VSTPluginMain(host); }
