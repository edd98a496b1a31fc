// tarvolin-realtime: what the audio thread of a live host sees while a user or a host works the
// plug-in.
//
// A chord plays at small blocks (64 frames at 48 kHz by default) on an audio thread that runs at
// real-time priority when the system permits, woken once per block period as a sound card would
// wake it. Meanwhile one action goes on, each in a fresh process (the way a user meets it, with
// nothing built yet):
//
//   idle          nothing
//   wavetables    a second thread steps Wave Table 1 through the 38 built-in tables, one step per 50 ms
//   programs      a second thread steps through programs 0-63 with effSetProgram, one per 50 ms
//   bank          a second thread restores the bank with effSetChunk every 250 ms
//   automation    the audio thread itself steps Wave Table 1 (setParameter) every 50 ms
//   midi-program  the audio thread sends a MIDI program change every 50 ms
//
// Per action it prints the blocks measured, the median, 99.9th percentile and worst time the
// plug-in took per block (MIDI events, parameter changes and processReplacing), the deadline misses
// the plug-in caused (a block that took longer than a block period) apart from those the machine
// caused (a late wake-up that left too little of the period), the page faults of the audio thread,
// and how long any other thread held the plug-in's lock (for the bank: the first load and the worst
// of the later ones). The plug-in's lock is found as the first mutex the audio thread locks inside
// processReplacing; this program's own pthread_mutex_lock and pthread_mutex_unlock, through which
// the plug-in locks it, time the holds.
//
//   tarvolin-realtime [--plugin PATH] [--frames N] [--rate HZ] [--action NAME]

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "shell/VstTypes.h"  // the VST 2 record declarations only; no plug-in code is linked

namespace {

std::int64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void StoreMax(std::atomic<std::int64_t>& into, std::int64_t value) {
  std::int64_t seen = into.load(std::memory_order_relaxed);
  while (value > seen && !into.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

// ---- The plug-in's lock ------------------------------------------------------------------------

std::atomic<pthread_mutex_t*> gPluginMutex{nullptr};
thread_local bool tAudioThread = false;
thread_local bool tFindPluginMutex = false;
// Touched only by the thread that holds the plug-in's lock.
int gDepth = 0;
std::int64_t gHoldStart = 0;
// Longest hold by a thread other than the audio thread since the last reset, and overall; the
// audio thread's longest wait for the lock.
std::atomic<std::int64_t> gHoldSinceReset{0};
std::atomic<std::int64_t> gHoldWorst{0};
std::atomic<std::int64_t> gHoldWorstCpu{0};
std::int64_t gHoldStartCpu = 0;
// The audio thread's waits for the lock in the current block.
thread_local std::int64_t tAudioWait = 0;

std::int64_t ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

}  // namespace

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  using LockFn = int (*)(pthread_mutex_t*);
  static const LockFn real = reinterpret_cast<LockFn>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  pthread_mutex_t* plugin = gPluginMutex.load(std::memory_order_relaxed);
  if (plugin == nullptr && tFindPluginMutex) {
    tFindPluginMutex = false;
    gPluginMutex.store(mutex, std::memory_order_relaxed);
    plugin = mutex;
  }
  if (mutex != plugin) return real(mutex);
  const std::int64_t asked = NowNs();
  const int result = real(mutex);
  if (result == 0 && gDepth++ == 0) {
    gHoldStart = NowNs();
    if (tAudioThread) tAudioWait += gHoldStart - asked;
    else gHoldStartCpu = ThreadCpuNs();
  }
  return result;
}

extern "C" int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  using UnlockFn = int (*)(pthread_mutex_t*);
  static const UnlockFn real = reinterpret_cast<UnlockFn>(dlsym(RTLD_NEXT, "pthread_mutex_unlock"));
  if (mutex == gPluginMutex.load(std::memory_order_relaxed) && gDepth > 0 && --gDepth == 0 && !tAudioThread) {
    const std::int64_t held = NowNs() - gHoldStart;
    StoreMax(gHoldSinceReset, held);
    StoreMax(gHoldWorst, held);
    StoreMax(gHoldWorstCpu, ThreadCpuNs() - gHoldStartCpu);
  }
  return real(mutex);
}

namespace {

// ---- Host ---------------------------------------------------------------------------------------

VstIntPtr Host(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterGetCurrentProcessLevel:
      return tAudioThread ? kProcessLevelRealtime : kProcessLevelUser;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
      if (ptr != nullptr) std::strcpy(static_cast<char*>(ptr), opcode == audioMasterGetVendorString ? "Tarvolin" : "realtime check");
      return 1;
    default:
      return 0;
  }
}

struct Options {
  std::string plugin = TARVOLIN_PLUGIN_PATH;
  std::string action;
  int frames = 64;
  double rate = 48000.0;
};

const char* const kActions[] = {"idle", "wavetables", "programs", "bank", "automation", "midi-program"};

struct Result {
  long blocks = 0;
  double median = 0, p999 = 0, worst = 0;  // ms
  long pluginMisses = 0, lateMisses = 0, lateWakeups = 0, faults = 0;
  double holdWorst = 0, holdFirst = -1, holdLater = -1;  // ms
  double holdWorstCpu = 0, worstCpu = 0, worstWait = 0;     // ms
  int loads = 0;
  bool realtime = false;
};

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

// One action in this process.
int RunAction(const Options& o) {
  void* library = dlopen(o.plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", o.plugin.c_str(), dlerror());
    return 1;
  }
  auto entry = reinterpret_cast<PluginEntryProc>(dlsym(library, "VSTPluginMain"));
  AEffect* e = entry != nullptr ? entry(&Host) : nullptr;
  if (e == nullptr) {
    std::fprintf(stderr, "%s gives no instance\n", o.plugin.c_str());
    return 1;
  }
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(o.rate));
  e->dispatcher(e, effSetBlockSize, 0, o.frames, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  // The bank as a host saved it with the project.
  std::vector<unsigned char> bank;
  if (o.action == "bank") {
    void* data = nullptr;
    const VstIntPtr size = e->dispatcher(e, effGetChunk, 0, 0, &data, 0.0f);
    bank.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
  }

  const std::int64_t period = static_cast<std::int64_t>(1e9 * o.frames / o.rate);
  const int blocksPer50ms = std::max(1, static_cast<int>(0.05 * o.rate / o.frames + 0.5));
  const int warmUp = static_cast<int>(0.5 * o.rate / o.frames);
  double seconds = 3.0;
  if (o.action == "wavetables" || o.action == "automation") seconds = 38 * 0.05 + 0.5;
  if (o.action == "programs" || o.action == "midi-program") seconds = 64 * 0.05 + 0.5;
  if (o.action == "bank") seconds = 12 * 0.25 + 0.5;
  const int blocks = warmUp + static_cast<int>(seconds * o.rate / o.frames);

  std::atomic<bool> started{false};
  std::atomic<bool> finished{false};
  Result r;
  std::vector<double> holds;  // per bank load, ms

  // The second thread: what the user or the host does while the chord plays.
  std::thread second([&] {
    while (!started.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (int step = 0; !finished.load(); ++step) {
      if (o.action == "wavetables" && step < 38) {
        e->setParameter(e, 11, static_cast<float>(step / 65535.0));
      } else if (o.action == "programs" && step < 64) {
        e->dispatcher(e, effSetProgram, 0, step, nullptr, 0.0f);
      } else if (o.action == "bank" && step < 12) {
        gHoldSinceReset = 0;
        e->dispatcher(e, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data(), 0.0f);
        holds.push_back(static_cast<double>(gHoldSinceReset.load()) / 1e6);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });

  std::thread audio([&] {
    tAudioThread = true;
    sched_param param{};
    param.sched_priority = std::min(70, sched_get_priority_max(SCHED_FIFO));
    r.realtime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    std::vector<float> left(static_cast<std::size_t>(o.frames)), right(static_cast<std::size_t>(o.frames));
    float* outs[2] = {left.data(), right.data()};
    VstMidiEvent midi[5] = {};
    VstEvents events{};
    const int chord[] = {48, 52, 55, 59};
    // Written before the measurement, so that filling them faults no page in.
    std::vector<double> durations(static_cast<std::size_t>(blocks), 0.0);
    std::size_t measured = 0;
    std::int64_t worstCpu = 0;
    std::int64_t worstWait = 0;
    long faultsAtStart = 0;
    std::int64_t next = NowNs() + period;
    for (int b = 0; b < blocks; ++b) {
      timespec at{static_cast<time_t>(next / 1000000000LL), static_cast<long>(next % 1000000000LL)};
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
      }
      const std::int64_t woke = NowNs();
      const std::int64_t cpuBefore = ThreadCpuNs();
      tAudioWait = 0;
      const int step = (b - warmUp) / blocksPer50ms;
      const bool stepNow = b >= warmUp && (b - warmUp) % blocksPer50ms == 0;
      // Every 50 ms the chord is struck again (a program change stops it), after the program
      // change when there is one.
      int count = 0;
      if (b % blocksPer50ms == 0) {
        if (stepNow && o.action == "midi-program" && step < 64) {
          midi[count].midiData[0] = static_cast<char>(0xC0);
          midi[count].midiData[1] = static_cast<char>(step);
          ++count;
        }
        for (int note : chord) {
          midi[count].midiData[0] = static_cast<char>(0x90);
          midi[count].midiData[1] = static_cast<char>(note);
          midi[count].midiData[2] = 100;
          ++count;
        }
      }
      for (int k = 0; k < count; ++k) {
        midi[k].type = kVstMidiType;
        midi[k].byteSize = sizeof(VstMidiEvent);
        midi[k].deltaFrames = 0;
      }
      if (count > 0) {
        events.numEvents = 1;
        for (int k = 0; k < count; ++k) {
          events.events[0] = reinterpret_cast<VstEvent*>(&midi[k]);
          e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
        }
      }
      if (stepNow && o.action == "automation" && step < 38) e->setParameter(e, 11, static_cast<float>(step / 65535.0));
      if (b == 0) tFindPluginMutex = true;
      e->processReplacing(e, nullptr, outs, o.frames);
      tFindPluginMutex = false;
      const std::int64_t done = NowNs();
      const std::int64_t cpu = ThreadCpuNs() - cpuBefore;
      if (b == warmUp) {
        faultsAtStart = MinorFaults();
        started = true;
      }
      if (b >= warmUp) {
        const std::int64_t took = done - woke;
        const std::int64_t late = woke - next;
        durations[measured++] = static_cast<double>(took) / 1e6;
        worstCpu = std::max(worstCpu, cpu);
        worstWait = std::max(worstWait, tAudioWait);
        // A block over its period is the plug-in's doing when its work and the waits for its lock
        // fill the period; otherwise the machine took the processor away (or woke the thread late).
        if (took > period && cpu + tAudioWait > period) ++r.pluginMisses;
        else if (late + took > period) ++r.lateMisses;
        if (late > period / 4) ++r.lateWakeups;
      }
      next += period;
      // After a missed deadline a sound card would have dropped the block: carry on from now.
      while (next < done) next += period;
    }
    r.faults = MinorFaults() - faultsAtStart;
    durations.resize(measured);
    r.worstCpu = static_cast<double>(worstCpu) / 1e6;
    r.worstWait = static_cast<double>(worstWait) / 1e6;
    std::sort(durations.begin(), durations.end());
    r.blocks = static_cast<long>(durations.size());
    if (!durations.empty()) {
      r.median = durations[durations.size() / 2];
      r.p999 = durations[std::min(durations.size() - 1, static_cast<std::size_t>(0.999 * static_cast<double>(durations.size())))];
      r.worst = durations.back();
    }
  });
  audio.join();
  finished = true;
  second.join();
  r.holdWorst = static_cast<double>(gHoldWorst.load()) / 1e6;
  r.holdWorstCpu = static_cast<double>(gHoldWorstCpu.load()) / 1e6;
  r.loads = static_cast<int>(holds.size());
  if (!holds.empty()) {
    r.holdFirst = holds.front();
    r.holdLater = holds.size() > 1 ? *std::max_element(holds.begin() + 1, holds.end()) : -1;
  }
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  std::printf("RESULT %ld %.6f %.6f %.6f %ld %ld %ld %ld %.6f %.6f %.6f %.6f %.6f %.6f %d %d %d\n", r.blocks, r.median,
              r.p999, r.worst, r.pluginMisses, r.lateMisses, r.lateWakeups, r.faults, r.holdWorst, r.holdFirst,
              r.holdLater, r.holdWorstCpu, r.worstCpu, r.worstWait, r.loads, r.realtime ? 1 : 0,
              gPluginMutex.load() != nullptr ? 1 : 0);
  return 0;
}

// Runs one action in a fresh process; false when it failed.
bool RunChild(const char* self, const Options& o, const char* action, Result* r, bool* lockFound) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  const std::string frames = std::to_string(o.frames);
  const std::string rate = std::to_string(o.rate);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execl(self, self, "--plugin", o.plugin.c_str(), "--frames", frames.c_str(), "--rate", rate.c_str(), "--action",
          action, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string output;
  char buffer[512];
  ssize_t n = 0;
  while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) output.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const std::size_t at = output.find("RESULT ");
  if (at == std::string::npos) return false;
  int realtime = 0, found = 0;
  const int fields = std::sscanf(
      output.c_str() + at, "RESULT %ld %lf %lf %lf %ld %ld %ld %ld %lf %lf %lf %lf %lf %lf %d %d %d", &r->blocks,
      &r->median, &r->p999, &r->worst, &r->pluginMisses, &r->lateMisses, &r->lateWakeups, &r->faults, &r->holdWorst,
      &r->holdFirst, &r->holdLater, &r->holdWorstCpu, &r->worstCpu, &r->worstWait, &r->loads, &realtime, &found);
  r->realtime = realtime != 0;
  *lockFound = found != 0;
  return fields == 17;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--plugin" && value != nullptr) {
      o.plugin = value;
      ++i;
    } else if (a == "--frames" && value != nullptr) {
      o.frames = std::max(1, std::atoi(value));
      ++i;
    } else if (a == "--rate" && value != nullptr) {
      o.rate = std::max(1000.0, std::atof(value));
      ++i;
    } else if (a == "--action" && value != nullptr) {
      o.action = value;
      ++i;
    } else {
      std::fprintf(stderr, "usage: %s [--plugin PATH] [--frames N] [--rate HZ] [--action NAME]\n", argv[0]);
      return 2;
    }
  }
  if (!o.action.empty()) return RunAction(o);

  const double periodMs = 1000.0 * o.frames / o.rate;
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("%s\n%d frames at %.0f Hz: block period %.3f ms; %ld processors, load average %.2f\n\n",
              o.plugin.c_str(), o.frames, o.rate, periodMs, sysconf(_SC_NPROCESSORS_ONLN), load[0]);
  std::printf("%-13s %6s %7s %7s %7s %7s %7s %8s %13s %6s %12s\n", "action", "blocks", "median", "99.9%", "worst",
              "cpu", "wait", "misses", "late wake-ups", "faults", "lock held");
  std::printf("%-13s %6s %7s %7s %7s %7s %7s %8s %13s %6s %12s\n", "", "", "ms", "ms", "ms", "ms", "ms", "plug-in",
              "(misses)", "", "ms (cpu)");
  bool anyRealtime = false;
  bool allRealtime = true;
  bool lockFound = true;
  Result bankResult;
  for (const char* action : kActions) {
    Result r;
    bool found = false;
    if (!RunChild("/proc/self/exe", o, action, &r, &found)) {
      std::printf("%-13s failed\n", action);
      continue;
    }
    anyRealtime = anyRealtime || r.realtime;
    allRealtime = allRealtime && r.realtime;
    lockFound = lockFound && found;
    char lateText[32];
    std::snprintf(lateText, sizeof lateText, "%ld (%ld)", r.lateWakeups, r.lateMisses);
    char holdText[40];
    std::snprintf(holdText, sizeof holdText, "%.3f (%.3f)", r.holdWorst, r.holdWorstCpu);
    std::printf("%-13s %6ld %7.3f %7.3f %7.3f %7.3f %7.3f %8ld %13s %6ld %12s\n", action, r.blocks, r.median, r.p999,
                r.worst, r.worstCpu, r.worstWait, r.pluginMisses, lateText, r.faults, holdText);
    std::fflush(stdout);
    if (std::strcmp(action, "bank") == 0) bankResult = r;
  }
  if (bankResult.loads > 0) {
    std::printf("\nbank load (effSetChunk), lock held: first %.3f ms, later ones at most %.3f ms (%d loads)\n",
                bankResult.holdFirst, bankResult.holdLater, bankResult.loads);
  }
  std::printf("\nper block: the time from the audio thread's wake-up to the end of processReplacing; cpu: the\n"
              "most processor time the audio thread spent on one block; wait: the longest it waited for the\n"
              "plug-in's lock in one block. misses: blocks over the period that the plug-in's work and lock\n"
              "filled. late wake-ups: the audio thread woke more than a quarter period late, or was kept from\n"
              "running (in brackets, the deadlines the machine missed so). lock held: the longest any other\n"
              "thread held the plug-in's lock (in brackets, processor time it spent meanwhile).\n");
  if (!allRealtime) {
    std::printf("%s\n", anyRealtime ? "some actions ran without real-time priority"
                                    : "real-time priority was not permitted: the audio thread ran at normal priority");
  }
  if (!lockFound) std::printf("the plug-in's lock was not found: lock figures are missing\n");
  return 0;
}
