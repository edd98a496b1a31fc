#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/NumericConversion.h"

// Rate-dependent lookup tables shared by every instance in the process. Each instance may run at
// its own sample rate, so the tables are immutable and kept per rate: a user holds a shared pointer
// to the tables of its own rate, reads them on the audio thread without any lock, and the cache only
// locks while a user changes rate. Tables no user holds any more are dropped.
//
// Tables must provide a constructor from the sample rate and a Rate() query.
template <typename Tables>
class SampleRateTableCache {
 public:
  static double Sanitize(double rate) { return SanitizeSampleRate(rate); }

  static std::shared_ptr<const Tables> Get(double rate) {
    rate = Sanitize(rate);
    Store& store = Instance();
    std::lock_guard<std::mutex> lock(store.mutex);
    std::shared_ptr<const Tables> found;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < store.entries.size(); ++i) {
      std::shared_ptr<const Tables> tables = store.entries[i].lock();
      if (!tables) continue;
      if (tables->Rate() == rate) found = tables;
      if (kept != i) store.entries[kept] = std::move(store.entries[i]);
      ++kept;
    }
    store.entries.resize(kept);
    if (!found) {
      found = std::make_shared<const Tables>(rate);
      store.entries.push_back(found);
    }
    return found;
  }

 private:
  struct Store {
    std::mutex mutex;
    std::vector<std::weak_ptr<const Tables>> entries;
  };
  static Store& Instance() {
    static Store store;
    return store;
  }
};
