#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "tuning/CErr.h"
#include "tuning/CFormula.h"
#include "tuning/CMIDIChannelRange.h"

namespace TUN {

// 128 note frequencies in Hz with a key mapping: what a tuning file describes, before it is turned
// into pitch units. Filled by the TUN reader and by the Scala importer.
class CSingleScale {
 public:
  static constexpr int kNotes = 128;

  // The descriptive keys of a TUN file. Only the description is used by the synthesizer.
  struct Info {
    std::string format;
    std::int32_t formatVersion = 0;
    std::string formatSpecs, name, id, filename, author, location, contact, date, editor,
        editorSpecs, description, history, geography, instrument, comments;
    std::vector<std::string> keywords;
    std::vector<std::string> compositions;
  };

  CSingleScale();
  CSingleScale(const CSingleScale&) = default;
  CSingleScale& operator=(const CSingleScale&) = default;
  virtual ~CSingleScale();

  // Set by the owner before a TUN file is read: functional tunings are then never chosen.
  bool ExactTuningPreferred() const { return exactTuningPreferred_; }
  void SetExactTuningPreferred(bool preferred) { exactTuningPreferred_ = preferred; }

  const CErr& Err() const { return err_; }
  CErr& Err() { return err_; }
  const Info& GetInfo() const { return info_; }
  Info& GetInfo() { return info_; }
  const std::vector<CMIDIChannelRange>& ChannelRanges() const { return channelRanges_; }
  std::vector<CMIDIChannelRange>& ChannelRanges() { return channelRanges_; }

  std::int32_t BaseNote() const { return baseNote_; }
  double BaseFrequency() const { return baseFrequency_; }
  // Frequency of table index 0-127 (other indices read as 0).
  double Frequency(int index) const;
  void SetFrequency(int index, double hz);
  std::int32_t KeyMapping(int note) const;
  void SetKeyMapping(int note, std::int32_t index);
  std::int32_t LoopSize() const { return loopSize_; }
  void SetLoopSize(std::int32_t size) { loopSize_ = size; }

  // Clears the error, the info record and the channel ranges, then 440-Hz equal temperament with the
  // identity key mapping.
  void Reset();
  // frequency[i] = baseFrequency * 2^((i - baseNote) / 12).
  void FillEqualTemperament(std::int32_t baseNote, double baseFrequency);
  // Identity key mapping, no loop.
  void ResetKeyMapping();
  // Applies a formula to the note it names (and, repeated, to its neighbours). Refused as a whole,
  // changing nothing, when any note it would refer to lies outside 0-127.
  bool ApplyFormula(const CFormula& formula);
  // Frequency that MIDI note 0-127 sounds through the key mapping and loop; mapped indices are
  // clamped into 0-127.
  double NoteFrequency(int note) const;

  // Reads an AnaMark TUN file: 1 on success, 0 when the file does not open or holds no dataset,
  // -1 on any other error. On 0 and -1 Err() holds the message and the scale holds what was read.
  int ReadTun(const std::string& path);
  // The same from any stream of the file's bytes.
  int ReadTunText(std::istream& in);

 private:
  bool exactTuningPreferred_ = false;
  CErr err_;
  Info info_;
  std::vector<CMIDIChannelRange> channelRanges_;
  std::int32_t baseNote_ = 69;
  double baseFrequency_ = 440.0;
  double frequencies_[kNotes] = {};
  std::int32_t keyMapping_[kNotes] = {};
  std::int32_t loopSize_ = 0;
};

}  // namespace TUN
