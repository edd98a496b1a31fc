#include "wavetable/WaveTableWorker.h"

#include <semaphore.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "wavetable/BuiltInTableCache.h"
#include "wavetable/BuiltInWaveTables.h"
#include "wavetable/UserWaveContent.h"

namespace {

// A bounded ring that many threads add to without locks and one thread takes from (after Dmitry
// Vyukov's bounded queue): each cell carries a sequence number telling whose turn it is, a
// producer claims a cell by advancing the head with compare-and-swap and publishes it by bumping
// the cell's sequence.
struct Job {
  enum Kind : int { kRelease, kBuildUserTable } kind = kRelease;
  std::shared_ptr<const void> object;
};

class JobRing {
 public:
  static constexpr std::size_t kCapacity = 1024;  // a power of two

  JobRing() {
    for (std::size_t i = 0; i < kCapacity; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
  }

  // Moves the job in; false (job untouched) when the ring is full.
  bool Push(Job& job) {
    std::size_t position = head_.load(std::memory_order_relaxed);
    for (;;) {
      Cell& cell = cells_[position & (kCapacity - 1)];
      const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
      const auto difference = static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(position);
      if (difference == 0) {
        if (head_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
          // The cell's object is empty (the consumer moved it out), so this assignment frees nothing.
          cell.job.kind = job.kind;
          cell.job.object = std::move(job.object);
          cell.sequence.store(position + 1, std::memory_order_release);
          return true;
        }
      } else if (difference < 0) {
        return false;
      } else {
        position = head_.load(std::memory_order_relaxed);
      }
    }
  }

  // Only the worker takes.
  bool Pop(Job* job) {
    Cell& cell = cells_[tail_ & (kCapacity - 1)];
    const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
    if (sequence != tail_ + 1) return false;
    job->kind = cell.job.kind;
    job->object = std::move(cell.job.object);
    cell.sequence.store(tail_ + kCapacity, std::memory_order_release);
    ++tail_;
    return true;
  }

 private:
  struct Cell {
    std::atomic<std::size_t> sequence{0};
    Job job;
  };
  std::array<Cell, kCapacity> cells_;
  alignas(64) std::atomic<std::size_t> head_{0};
  alignas(64) std::size_t tail_ = 0;
};

class Worker {
 public:
  Worker() {
    // Everything the thread uses must outlive it when the library goes (or the process ends):
    // the caches, the transform plans. Made before this object, they are destroyed after it, and
    // this object's destructor lets the thread finish first. One silent wave built here makes them.
    BuiltInTableCache::Find(0, nullptr);
    if (auto content = UserWaveContent::Make(std::vector<std::int16_t>(1, 0), std::string())) content->Build();
    sem_init(&wake_, 0, 0);
  }
  ~Worker() {
    {
      std::lock_guard<std::mutex> lock(startMutex_);
      stop_.store(true, std::memory_order_release);
    }
    sem_post(&wake_);
    if (thread_.joinable()) thread_.join();
    sem_destroy(&wake_);
    Job job;
    while (ring_.Pop(&job)) job.object.reset();
  }

  void Start() {
    std::lock_guard<std::mutex> lock(startMutex_);
    if (thread_.joinable() || stop_.load(std::memory_order_acquire)) return;
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      // Without a thread, tables are built where they are prepared and installed when asked for
      // off the audio thread (see WaitUntilIdle).
    }
  }

  void RequestBuiltIn(std::int32_t identifier) {
    if (identifier < 0 || identifier >= BuiltInWaveTables::kCount) return;
    const std::uint64_t bit = std::uint64_t{1} << identifier;
    outstanding_.fetch_add(1, std::memory_order_acq_rel);
    if ((builtIns_.fetch_or(bit, std::memory_order_acq_rel) & bit) != 0) {
      Done(1);  // asked for already
      return;
    }
    sem_post(&wake_);
  }

  bool Push(Job::Kind kind, std::shared_ptr<const void>&& object) {
    Job job;
    job.kind = kind;
    job.object = std::move(object);
    outstanding_.fetch_add(1, std::memory_order_acq_rel);
    if (!ring_.Push(job)) {
      Done(1);
      object = std::move(job.object);
      return false;
    }
    sem_post(&wake_);
    return true;
  }

  void WaitUntilIdle() {
    if (!thread_.joinable()) {
      // No thread to wait for: carry the requests out here.
      Drain();
      return;
    }
    std::unique_lock<std::mutex> lock(idleMutex_);
    idle_.wait(lock, [this] { return outstanding_.load(std::memory_order_acquire) <= 0; });
  }

  std::int64_t Built() const { return built_.load(std::memory_order_relaxed); }

  void Pause(bool paused) {
    paused_.store(paused, std::memory_order_release);
    if (!paused) sem_post(&wake_);
  }

 private:
  void Done(int count) {
    if (outstanding_.fetch_sub(count, std::memory_order_acq_rel) == count) {
      std::lock_guard<std::mutex> lock(idleMutex_);
      idle_.notify_all();
    }
  }

  // Carries out everything asked for so far.
  void Drain() {
    std::lock_guard<std::mutex> lock(drainMutex_);
    for (;;) {
      bool any = false;
      const std::uint64_t builtIns = builtIns_.exchange(0, std::memory_order_acq_rel);
      for (int id = 0; id < BuiltInWaveTables::kCount; ++id) {
        if ((builtIns & (std::uint64_t{1} << id)) == 0) continue;
        any = true;
        if (BuiltInTableCache::Find(id, nullptr) != BuiltInTableCache::Status::kReady) {
          BuiltInTableCache::Get(id);
          built_.fetch_add(1, std::memory_order_relaxed);
        }
        Done(1);
      }
      Job job;
      while (ring_.Pop(&job)) {
        any = true;
        if (job.kind == Job::kBuildUserTable) {
          const auto content = std::static_pointer_cast<const UserWaveContent>(job.object);
          if (!content->Built()) {
            content->Build();
            built_.fetch_add(1, std::memory_order_relaxed);
          }
        }
        job.object.reset();
        Done(1);
      }
      if (!any) return;
    }
  }

  void Run() {
    for (;;) {
      while (sem_wait(&wake_) != 0 && errno == EINTR) {
      }
      if (stop_.load(std::memory_order_acquire)) return;
      if (!paused_.load(std::memory_order_acquire)) Drain();
    }
  }

  JobRing ring_;
  std::atomic<std::uint64_t> builtIns_{0};
  std::atomic<int> outstanding_{0};
  std::atomic<std::int64_t> built_{0};
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  sem_t wake_{};
  std::mutex startMutex_;
  std::mutex drainMutex_;
  std::mutex idleMutex_;
  std::condition_variable idle_;
  std::thread thread_;
};

Worker& TheWorker() {
  static Worker worker;
  return worker;
}

}  // namespace

void WaveTableWorker::Start() { TheWorker().Start(); }

void WaveTableWorker::RequestBuiltIn(std::int32_t identifier) { TheWorker().RequestBuiltIn(identifier); }

bool WaveTableWorker::RequestUserTable(const std::shared_ptr<const UserWaveContent>& content) {
  if (!content) return true;
  std::shared_ptr<const void> object = content;
  return TheWorker().Push(Job::kBuildUserTable, std::move(object));
}

void WaveTableWorker::ReleaseAny(std::shared_ptr<const void>&& object) {
  if (!TheWorker().Push(Job::kRelease, std::move(object))) object.reset();
}

void WaveTableWorker::WaitUntilIdle() { TheWorker().WaitUntilIdle(); }

std::int64_t WaveTableWorker::TablesBuilt() { return TheWorker().Built(); }

void WaveTableWorker::Pause(bool paused) { TheWorker().Pause(paused); }
