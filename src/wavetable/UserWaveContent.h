#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wavetable/WaveTable.h"

// What a user wave-table slot holds: the raw 16-bit waves loaded from a file (2048 samples per
// wave), their display name, and the table built from them once someone needs it.
//
// Immutable once made and shared: the live slot, the stored programs that carry it and the
// oscillator's table all point at one object, so that changing programs copies no samples and
// selecting a slot again builds nothing. The table is built at most once per content; contents
// with equal samples share one table (a bank whose programs all carry the same wave builds it
// once).
//
// Building happens where the audio thread does not wait for it: on the thread that loads a file or
// prepares a program (Build), or on the wave-table worker when the audio thread asks for it
// (RequestBuild). Levels() and Built() are safe on the audio thread.
class UserWaveContent : public std::enable_shared_from_this<UserWaveContent> {
 public:
  // samples must not be empty. nullptr when memory runs out.
  static std::shared_ptr<const UserWaveContent> Make(std::vector<std::int16_t> samples, std::string name);

  UserWaveContent(const UserWaveContent&) = delete;
  UserWaveContent& operator=(const UserWaveContent&) = delete;

  std::uint32_t Length() const { return static_cast<std::uint32_t>(samples_.size()); }
  const std::int16_t* Samples() const { return samples_.data(); }
  const std::string& Name() const { return name_; }
  // Waves the table holds: the slot's whole waves, at most 64 (at least 1; a slot shorter than one
  // wave is padded with silence).
  std::int32_t WaveCount() const;

  // Whether the table build has finished (successfully or not).
  bool Built() const;
  // The built table; nullptr while it is not built or when it could not be (memory).
  std::shared_ptr<const WaveLevels> Levels() const;

  // Builds the table on the calling thread unless it is built; waits when another thread is
  // building it. Not for the audio thread. Answers whether a table exists afterwards.
  bool Build() const;

  // Asks the wave-table worker for the table unless it is built or asked for already. Safe on the
  // audio thread.
  static void RequestBuild(const std::shared_ptr<const UserWaveContent>& content);

 private:
  enum State : int { kUnbuilt, kRequested, kBuilding, kReady };

  UserWaveContent(std::vector<std::int16_t> samples, std::string name);
  // An equal content's table, if one is built and still alive.
  std::shared_ptr<const WaveLevels> FindEqualTable() const;
  void RememberTable() const;

  std::vector<std::int16_t> samples_;
  std::string name_;
  std::uint64_t hash_ = 0;
  mutable std::atomic<int> state_{kUnbuilt};
  // Written once, by the thread that moved state_ to kBuilding, before state_ becomes kReady.
  mutable std::shared_ptr<const WaveLevels> levels_;
};
