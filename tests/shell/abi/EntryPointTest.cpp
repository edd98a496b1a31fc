// The plug-in as a host first meets it: the library, its exports, the entry points and the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "ScriptedHost.h"
#include "support/TestPaths.h"

TEST(EntryPoint, LibraryExportsExactlyTheTwoEntryPoints) {
  std::string error;
  std::vector<std::string> names = ExportedSymbols(PluginPath(), &error);
  ASSERT_TRUE(error.empty()) << error;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"VSTPluginMain", "main"}));
}

TEST(EntryPoint, BothEntryPointsMakeIndependentInstances) {
  PluginLibrary& library = PluginLibrary::Get();
  ASSERT_NE(library.vstPluginMain, nullptr) << library.error;
  ASSERT_NE(library.main, nullptr);
  ScriptedHost host;
  UseHost(&host);
  AEffect* a = library.vstPluginMain([](AEffect*, std::int32_t, std::int32_t, VstIntPtr, void*, float) -> VstIntPtr { return 0; });
  AEffect* b = library.main(nullptr);  // a host without a callback must not crash the plug-in
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_NE(a->object, b->object);
  EXPECT_EQ(b->dispatcher(b, effOpen, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(b->dispatcher(b, effGetVendorVersion, 0, 0, nullptr, 0), 10105);
  a->dispatcher(a, effClose, 0, 0, nullptr, 0);
  b->dispatcher(b, effClose, 0, 0, nullptr, 0);
}

TEST(EntryPoint, RecordCarriesTheInstrumentsIdentity) {
  ScriptedHost host;
  PluginInstance plug(host, false);
  ASSERT_TRUE(plug);
  const AEffect* e = plug.effect();
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numPrograms, 64);
  EXPECT_EQ(e->numParams, 153);
  EXPECT_EQ(e->numInputs, 0);
  EXPECT_EQ(e->numOutputs, 2);
  // Replacing, chunks, double replacing, synth, the editor where the library has one; no mono flag.
#if TARVOLIN_WITH_EDITOR
  EXPECT_EQ(e->flags, 0x1131);
#else
  EXPECT_EQ(e->flags, 0x1130);
#endif
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->uniqueID, 0x74766C6E);
  EXPECT_EQ(e->version, 0x10105);
  EXPECT_EQ(e->user, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_NE(e->process, nullptr);
  for (char c : e->future) EXPECT_EQ(c, 0);
}

TEST(EntryPoint, EveryProgramIsFilledAfterCreation) {
  ScriptedHost host;
  PluginInstance plug(host, false);
  // The factory bank fills every program; the first is selected.
  EXPECT_EQ(plug.Dispatch(effGetProgram), 0);
  EXPECT_EQ(plug.Text(effGetProgramNameIndexed, 0), "PAD: Texture");
  EXPECT_EQ(plug.Text(effGetProgramNameIndexed, 62), "LEAD: Wah-Wah");
  EXPECT_EQ(plug.Text(effGetProgramNameIndexed, 63), "Init");
}

TEST(EntryPoint, ConcurrentCreationIsSerialised) {
  ScriptedHost host;
  UseHost(&host);
  PluginLibrary& library = PluginLibrary::Get();
  ASSERT_NE(library.vstPluginMain, nullptr);
  std::vector<AEffect*> effects(4, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < effects.size(); ++t) {
    threads.emplace_back([&, t] { effects[t] = library.vstPluginMain(nullptr); });
  }
  for (auto& t : threads) t.join();
  for (AEffect* e : effects) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->numParams, 153);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0);
  }
}
