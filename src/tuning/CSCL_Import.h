#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "tuning/CErr.h"
#include "tuning/CSingleScale.h"

namespace TUN {

// Holds one Scala scale (SCL) and one Scala keyboard mapping (KBM), combines them into a cents
// value per MIDI note and writes the result into a scale. Either half can be replaced on its own, so
// a keyboard mapping always maps the scale last read.
class CSCL_Import {
 public:
  static constexpr int kNotes = 128;
  static constexpr const char* kDefaultScaleName = "Equal tempered (Default)";

  CSCL_Import();
  CSCL_Import(const CSCL_Import&) = default;
  CSCL_Import& operator=(const CSCL_Import&) = default;
  virtual ~CSCL_Import();

  // Equal temperament in 100-cent steps, 128 degrees.
  void ResetScale();
  // Twelve keys per 1200 cents from note 0, all notes mapped, note 69 at 440 Hz.
  void ResetKeyboardMapping();

  bool ReadScl(const std::string& path);
  bool ReadSclText(std::istream& in);
  bool ReadKbm(const std::string& path);
  bool ReadKbmText(std::istream& in);

  void ComputeNoteCents();
  void ApplyTo(CSingleScale& scale);

  const std::string& ScaleName() const { return scaleName_; }
  const CErr& Err() const { return err_; }
  CErr& Err() { return err_; }

  std::int32_t ScaleSize() const { return scaleSize_; }
  double Degree(int k) const { return k >= 0 && k < kNotes ? degrees_[k] : 0.0; }
  double NoteCents(int note) const { return note >= 0 && note < kNotes ? noteCents_[note] : 0.0; }
  std::int32_t MapSize() const { return mapSize_; }
  std::int32_t FirstNote() const { return firstNote_; }
  std::int32_t LastNote() const { return lastNote_; }
  std::int32_t MiddleNote() const { return middleNote_; }
  std::int32_t ReferenceNote() const { return referenceNote_; }
  double ReferenceFrequency() const { return referenceFrequency_; }
  std::int32_t OctaveDegree() const { return octaveDegree_; }
  std::int32_t Mapping(int entry) const { return entry >= 0 && entry < kNotes ? mapping_[entry] : -1; }

 private:
  bool Fail(const char* message) {
    err_.SetError(message);
    return false;
  }

  CErr err_;
  std::string scaleName_;
  std::int32_t scaleSize_ = kNotes;
  double degrees_[kNotes] = {};
  double noteCents_[kNotes] = {};
  std::int32_t mapSize_ = 12;
  std::int32_t firstNote_ = 0;
  std::int32_t lastNote_ = 127;
  std::int32_t middleNote_ = 0;
  std::int32_t referenceNote_ = 69;
  double referenceFrequency_ = 440.0;
  std::int32_t octaveDegree_ = 12;
  std::int32_t mapping_[kNotes] = {};
};

}  // namespace TUN
