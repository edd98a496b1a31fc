// Once a host has activated the instrument, playing it must not allocate memory or wait for any lock
// but the instance's own plug-in lock: an allocation or a foreign lock on the audio thread can stall
// it for an unbounded time. This test program replaces the global allocation functions and the
// mutex lock of the C library with counting versions, then plays notes, controllers, bends,
// pressure and parameter automation through the host interface while counting.
//
// Left out on purpose: the Wave Table parameters and program changes, which build or load tables
// inside the parameter change as the instrument defines them.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <vector>

#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "shell/VstTypes.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
std::atomic<long> g_foreignLocks{0};
pthread_mutex_t* g_pluginMutex = nullptr;

void* CountedAlloc(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void* CountedAlignedAlloc(std::size_t size, std::size_t alignment) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
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
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

// Every lock of a pthread mutex in this program (std::mutex and std::recursive_mutex lock through
// it) is counted unless it is the plug-in lock.
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using LockFn = int (*)(pthread_mutex_t*);
  static const LockFn real = reinterpret_cast<LockFn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  if (g_counting.load(std::memory_order_relaxed) && mutex != g_pluginMutex) {
    g_foreignLocks.fetch_add(1, std::memory_order_relaxed);
  }
  return real(mutex);
}

namespace {

VstTimeInfo g_time{};

VstIntPtr Host(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&g_time);
  return 0;
}

struct Counting {
  Counting() {
    g_allocations = 0;
    g_foreignLocks = 0;
    g_counting = true;
  }
  ~Counting() { g_counting = false; }
};

}  // namespace

TEST(AudioPath, PlayingAllocatesNothingAndTakesOnlyThePluginLock) {
  auto plug = std::make_unique<Tarvolin>(&Host);
  g_pluginMutex = plug->PluginMutex().native_handle();
  AEffect* e = plug->GetAEffect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, effSetBlockSize, 0, 256, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  plug->SetControllerMapping(74, param::kFilterCutoff);
  plug->SetControllerMapping(20, param::kNumberOfVoices);
  // A patch that uses everything at once.
  for (int index : {param::kChorusOn, param::kUnisonMode}) e->setParameter(e, index, 1.0f);
  e->setParameter(e, param::kNumberOfVoices, 0.7f);
  e->setParameter(e, param::kLevelNoise, 0.3f);
  e->setParameter(e, param::kMg1SyncToHost, 1.0f);
  g_time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
  g_time.tempo = 128.0;

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
      static const int kStatus[] = {0x90, 0x90, 0x80, 0xB0, 0xE0, 0xD0, 0xA0};
      const int status = kStatus[rng() % 7];
      int data1 = 36 + static_cast<int>(rng() % 48);
      if (status == 0xB0) {
        static const int kControllers[] = {1, 64, 74, 20, 7, 123};
        data1 = kControllers[rng() % 6];
      }
      m.midiData[0] = static_cast<char>(status);
      m.midiData[1] = static_cast<char>(data1);
      m.midiData[2] = static_cast<char>(rng() % 128);
      events.numEvents = 1;
      events.events[0] = reinterpret_cast<VstEvent*>(&m);
      e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
    }
    // Host automation of any parameter but the wave tables.
    int index = static_cast<int>(rng() % param::kCount);
    if (index == param::kWaveTable1 || index == param::kWaveTable2 || index == param::kWaveTable3) index = 0;
    e->setParameter(e, index, static_cast<float>(rng() % 1000) / 999.0f);
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
  for (int b = 0; b < 50; ++b) play(b);  // everything has been touched once
  {
    Counting counting;
    for (int b = 50; b < 2050; ++b) play(b);
  }
  EXPECT_EQ(g_allocations.load(), 0);
  EXPECT_EQ(g_foreignLocks.load(), 0);
  EXPECT_GT(peak, 0.01);  // it did play

  // The counters do see what they are meant to see.
  {
    Counting counting;
    auto* p = new int(3);
    delete p;
    std::mutex m;
    m.lock();
    m.unlock();
  }
  EXPECT_EQ(g_allocations.load(), 1);
  EXPECT_EQ(g_foreignLocks.load(), 1);
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  plug.release();  // effClose deleted the instance
}
