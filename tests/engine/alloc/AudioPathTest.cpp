// Once a host has activated the instrument, playing it must not allocate memory, page-fault, build a
// wave table or wait for any lock but the instance's own plug-in lock: any of them can stall the
// audio thread for an unbounded time. This test program replaces the global allocation functions
// and the mutex lock of the C library with versions that count what the audio thread (the test's
// main thread) does, then plays notes, controllers, bends, pressure, parameter automation (the
// Wave Table parameters included) and MIDI program changes through the host interface while
// counting. The wave-table worker builds and releases on its own thread meanwhile; that is not
// counted.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/ChunkBuffer.h"
#include "shell/VstTypes.h"
#include "support/TestPaths.h"
#include "wavetable/BandLimiter.h"
#include "wavetable/WaveTableWorker.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
std::atomic<long> g_releases{0};
std::atomic<long> g_foreignLocks{0};
pthread_mutex_t* g_pluginMutex = nullptr;
pthread_t g_audioThread;

// Whether the calling thread is the audio thread and counting is on.
bool Counted() {
  return g_counting.load(std::memory_order_relaxed) && pthread_equal(pthread_self(), g_audioThread) != 0;
}

void* CountedAlloc(std::size_t size) {
  if (Counted()) g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void CountedFree(void* p) {
  if (p != nullptr && Counted()) g_releases.fetch_add(1, std::memory_order_relaxed);
  std::free(p);
}

void* CountedAlignedAlloc(std::size_t size, std::size_t alignment) {
  if (Counted()) g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = nullptr;
  if (posix_memalign(&p, alignment < sizeof(void*) ? sizeof(void*) : alignment, size == 0 ? 1 : size) != 0) {
    throw std::bad_alloc();
  }
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return CountedAlloc(size); }
void* operator new[](std::size_t size) { return CountedAlloc(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAlloc(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAlloc(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t a) { return CountedAlignedAlloc(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) {
  return CountedAlignedAlloc(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete(void* p, std::align_val_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::align_val_t) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { CountedFree(p); }

// Every lock of a pthread mutex in this program (std::mutex and the plug-in lock go through
// it) is counted unless it is the plug-in lock.
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using LockFn = int (*)(pthread_mutex_t*);
  static const LockFn real = reinterpret_cast<LockFn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (Counted() && mutex != g_pluginMutex) g_foreignLocks.fetch_add(1, std::memory_order_relaxed);
  return real(mutex);
}

namespace {

VstTimeInfo g_time{};

VstIntPtr Host(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&g_time);
  return 0;
}

long MinorFaultsOfThisThread() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

struct Counting {
  Counting() {
    g_audioThread = pthread_self();
    g_allocations = 0;
    g_releases = 0;
    g_foreignLocks = 0;
    builds = BandLimiter::BuildsOnThisThread();
    faults = MinorFaultsOfThisThread();
    g_counting = true;
  }
  ~Counting() { g_counting = false; }
  long Faults() const { return MinorFaultsOfThisThread() - faults; }
  std::int64_t Builds() const { return BandLimiter::BuildsOnThisThread() - builds; }
  std::int64_t builds = 0;
  long faults = 0;
};

// Programs 1 ... 6 get what a program change must bring along: temperaments, user tunings and
// user wave tables (Blofeld dumps of 64 waves), besides built-in tables of every kind.
void StoreVariedPrograms(Tarvolin& plug) {
  const char* dumps[] = {"JUNO.SYX", "WATER.SYX", "GUITAR.SYX"};
  for (int p = 1; p <= 6; ++p) {
    plug.SelectProgram(p);
    const int slot = p % 3;
    ASSERT_TRUE(plug.LoadUserWaveTable(slot, TestDataPath(std::string("waves/syx/") + dumps[slot])));
    plug.SelectWaveTable(slot, WaveTableStore::kFirstSlotIdentifier + slot);
    plug.SelectWaveTable((slot + 1) % 3, 20 + p);
    if (p % 2 == 0) {
      ASSERT_EQ(plug.LoadTuningFile(TestDataPath("tuning/scl/pyth_12.scl")), 0);
      plug.SelectTuning(14);
    } else {
      plug.SelectTuning(p);
    }
    plug.ModifyCurrentPreset(nullptr);
  }
  plug.SelectProgram(0);
}

}  // namespace

TEST(AudioPath, PlayingAllocatesNothingAndTakesOnlyThePluginLock) {
  auto plug = std::make_unique<Tarvolin>(&Host);
  g_pluginMutex = plug->PluginMutex().native_handle();
  AEffect* e = plug->GetAEffect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  StoreVariedPrograms(*plug);
  plug->SetControllerMapping(74, param::kFilterCutoff);
  plug->SetControllerMapping(20, param::kNumberOfVoices);
  // A patch that uses everything at once.
  for (int index : {param::kChorusOn, param::kUnisonMode}) e->setParameter(e, index, 1.0f);
  e->setParameter(e, param::kNumberOfVoices, 0.7f);
  e->setParameter(e, param::kLevelNoise, 0.3f);
  e->setParameter(e, param::kMg1SyncToHost, 1.0f);
  g_time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
  g_time.tempo = 128.0;

  // The bank goes out and comes back as a host saves and restores it: its programs' user tables are
  // read into new contents, whose tables are built only when a program change first plays them.
  void* bank = nullptr;
  const VstIntPtr bankSize = e->dispatcher(e, effGetChunk, 0, 0, &bank, 0.0f);
  const std::vector<unsigned char> saved(static_cast<unsigned char*>(bank), static_cast<unsigned char*>(bank) + bankSize);
  ASSERT_EQ(e->dispatcher(e, effSetChunk, 0, bankSize, const_cast<unsigned char*>(saved.data()), 0.0f), 1);
  // A bank that leaves slots 50-53 empty: a program change to one of them fills it with the sound
  // playing, which is work for the user-interface thread.
  {
    ChunkBuffer body;
    for (int i = 0; i < 64; ++i) {
      const ProgramSlot& slot = *plug->GetProgram(i);
      const bool empty = i >= 50 && i <= 53;
      body.PutStr(slot.name);
      body.Put<std::uint8_t>(empty ? 0 : 1);
      if (!empty) body.PutBytes(slot.state.Data(), slot.state.Size());
    }
    ASSERT_GT(plug->UnserializePresets(body, 0), 0);
  }

  constexpr int kWarmUp = 400;
  std::mt19937 rng(7);
  std::vector<float> left(256), right(256);
  float* outs[2] = {left.data(), right.data()};
  std::vector<double> dleft(256), dright(256);
  double* douts[2] = {dleft.data(), dright.data()};
  VstMidiEvent midi[6] = {};
  VstEvents events{};
  double peak = 0.0;
  const auto play = [&](int block) {
    // A few MIDI events per block, delivered as a host does.
    const int count = static_cast<int>(rng() % 6);
    for (int k = 0; k < count; ++k) {
      VstMidiEvent& m = midi[k];
      m.type = kVstMidiType;
      m.byteSize = sizeof(VstMidiEvent);
      m.deltaFrames = static_cast<std::int32_t>(rng() % 256);
      static const int kStatus[] = {0x90, 0x90, 0x80, 0xB0, 0xE0, 0xD0, 0xA0, 0xC0};
      const int status = kStatus[rng() % (block % 8 == 0 ? 8 : 7)];
      int data1 = 36 + static_cast<int>(rng() % 48);
      if (status == 0xB0) {
        static const int kControllers[] = {1, 64, 74, 20, 7, 123};
        data1 = kControllers[rng() % 6];
      }
      // Programs: while warming up only the varied ones, later any (tables not built yet included).
      if (status == 0xC0) data1 = static_cast<int>(block < kWarmUp || rng() % 2 == 0 ? rng() % 7 : rng() % 64);
      m.midiData[0] = static_cast<char>(status);
      m.midiData[1] = static_cast<char>(data1);
      m.midiData[2] = static_cast<char>(rng() % 128);
      events.numEvents = 1;
      events.events[0] = reinterpret_cast<VstEvent*>(&m);
      e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
    }
    // Host automation of any parameter, and often of a Wave Table parameter: any built-in table, a
    // user slot, or an identifier beyond them.
    const int index = static_cast<int>(rng() % param::kCount);
    e->setParameter(e, index, static_cast<float>(rng() % 1000) / 999.0f);
    if (block % 3 == 0) {
      static const int kWaveTables[] = {param::kWaveTable1, param::kWaveTable2, param::kWaveTable3};
      // While warming up, only the first 20 built-in tables: the others are first asked for later.
      const int r = static_cast<int>(rng() % 46);
      const int identifier = r < 38 ? (block < kWarmUp ? r % 20 : r) : (r < 44 ? 65531 + r % 3 : 40 + r);
      e->setParameter(e, kWaveTables[rng() % 3], static_cast<float>(identifier / 65535.0));
    }
    g_time.ppqPos = block * 256.0 / 48000.0 * 128.0 / 60.0;
    g_time.samplePos = block * 256.0;
    if (block % 2 == 0) {
      e->processReplacing(e, nullptr, outs, 256);
      for (float x : left) peak = std::max(peak, static_cast<double>(std::fabs(x)));
    } else {
      e->processDoubleReplacing(e, nullptr, douts, 256);
      for (double x : dleft) peak = std::max(peak, std::fabs(x));
    }
  };
  for (int b = 0; b < kWarmUp; ++b) play(b);  // every path has been taken once
  // Wave tables stored in no program: one loaded into a slot, one played by oscillator 3 though its
  // slot has been loaded again since. The program change or the automation that replaces them drops
  // the last references to them, and they must not be released on the audio thread.
  ASSERT_TRUE(plug->LoadUserWaveTable(2, TestDataPath("waves/syx/GUITAR.SYX")));
  plug->SelectWaveTable(2, 65533);
  ASSERT_TRUE(plug->LoadUserWaveTable(2, TestDataPath("waves/syx/BIRD-W.SYX")));
  ASSERT_TRUE(plug->LoadUserWaveTable(1, TestDataPath("waves/syx/WATER.SYX")));

  const std::int64_t builtBefore = WaveTableWorker::TablesBuilt();
  long faults = 0;
  std::int64_t builds = 0;
  {
    Counting counting;
    for (int b = kWarmUp; b < kWarmUp + 4000; ++b) play(b);
    faults = counting.Faults();
    builds = counting.Builds();
  }
  EXPECT_EQ(g_allocations.load(), 0);
  EXPECT_EQ(g_releases.load(), 0);
  EXPECT_EQ(g_foreignLocks.load(), 0);
  EXPECT_EQ(builds, 0);
  // Under a user-mode emulator (the 32-bit library on a 64-bit-only kernel) the thread's page faults
  // are the emulator's own, taken as it translates code it meets for the first time.
  if (std::getenv("TARVOLIN_EMULATED") == nullptr) {
    EXPECT_EQ(faults, 0);
  }
  EXPECT_GT(peak, 0.01);  // it did play
  // Tables not built before were chosen meanwhile: the worker built what the audio thread asked for.
  EXPECT_GT(WaveTableWorker::TablesBuilt(), builtBefore);
  // The host's next call from its user-interface thread makes the change to an empty slot.
  {
    VstMidiEvent change{};
    change.type = kVstMidiType;
    change.byteSize = sizeof(VstMidiEvent);
    change.midiData[0] = static_cast<char>(0xC0);
    change.midiData[1] = 52;
    VstEvents one{};
    one.numEvents = 1;
    one.events[0] = reinterpret_cast<VstEvent*>(&change);
    e->dispatcher(e, effProcessEvents, 0, 0, &one, 0.0f);
    e->processReplacing(e, nullptr, outs, 256);
    EXPECT_FALSE(plug->GetProgram(52)->initialised);
    EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 52);
    EXPECT_TRUE(plug->GetProgram(52)->initialised);
    EXPECT_NE(plug->GetProgram(52)->name.find("user preset"), std::string::npos);
  }

  // The counters do see what they are meant to see, and only on the audio thread.
  {
    Counting counting;
    auto* p = new int(3);
    delete p;
    std::mutex m;
    m.lock();
    m.unlock();
    std::thread([] { delete new int(4); }).join();
    builds = counting.Builds();
    plug->SelectWaveTable(0, 65531);  // builds nothing: the slot's table was built when it was loaded
    WaveTableStore::Prepare(-1, UserWaveSlot::MakeContent(std::vector<float>(2048, 0.5f).data(), 2048, "x"));
    builds = counting.Builds() - builds;
  }
  EXPECT_GE(g_allocations.load(), 2);
  EXPECT_GE(g_releases.load(), 1);
  EXPECT_GE(g_foreignLocks.load(), 1);
  EXPECT_EQ(builds, 1);
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  plug.release();  // effClose deleted the instance
}
