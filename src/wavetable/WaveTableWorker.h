#pragma once

#include <cstdint>
#include <memory>

class UserWaveContent;

// The library's own background thread for wave tables, one per process.
//
// The audio thread must never build a table, allocate or release memory, or wait for another
// thread. When it needs a table that is not built yet it asks this worker and keeps playing what it
// has; the wave-table store installs the new table at a later control tick, once it is there. Memory
// that the audio thread stops using (a user wave table it no longer plays, a user slot a program
// change replaced) is handed here to be released.
//
// The request functions never block, never allocate and take no lock: a flag word, a fixed ring of
// requests and a semaphore post. They may be called from any thread.
class WaveTableWorker {
 public:
  // Starts the thread unless it runs. Not for the audio thread: the wave-table store calls it when
  // it is created, so that the audio thread always finds the worker running.
  static void Start();

  // Asks for built-in table identifier (0 ... 37) to be built into the process-wide cache.
  static void RequestBuiltIn(std::int32_t identifier);

  // Asks for the table of a user slot's content to be built. False when the request ring is full
  // (rare: ask again later).
  static bool RequestUserTable(const std::shared_ptr<const UserWaveContent>& content);

  // Releases the object on the worker thread. Should the ring be full, it is released here.
  template <typename T>
  static void Release(std::shared_ptr<T>&& object) {
    if (object) ReleaseAny(std::shared_ptr<const void>(std::move(object)));
  }

  // Blocks until every request made before the call has been carried out. Not for the audio thread
  // of a live performance: offline rendering and tests use it.
  static void WaitUntilIdle();

  // Tables the worker has built so far (tests and measurements).
  static std::int64_t TablesBuilt();

  // While paused, the worker leaves requests waiting; WaitUntilIdle then waits until it is resumed.
  // For tests that must see a table before it is built.
  static void Pause(bool paused);

 private:
  static void ReleaseAny(std::shared_ptr<const void>&& object);
};
