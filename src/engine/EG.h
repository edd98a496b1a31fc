#pragma once

#include <cstdint>

// Envelope generator base: the record shared by the exponential and the linear ADSR and the
// operations a voice calls on them. The voice holds the concrete classes, so the per-sample
// Process calls bind statically.
class EG {
 public:
  EG() = default;
  EG(const EG&) = default;
  EG& operator=(const EG&) = default;
  virtual ~EG() = default;

  virtual void Reset() {}
  virtual void NoteOn() {}
  virtual void NoteOff() {}
  virtual void SetSampleRate(double) {}
  virtual void Process() {}
  virtual bool IsActive() const { return false; }
  // true = "Single": a note-on while the envelope is still held is ignored.
  virtual void SetTriggerMode(bool single) { singleTrigger_ = single; }
  virtual void SetAttack(double) {}
  virtual void SetDecay(double) {}
  virtual void SetSustain(double) {}
  virtual void SetRelease(double) {}

  double Output() const { return output_; }
  // For the voice's modulation sources, which read the level by reference.
  const double& OutputRef() const { return output_; }
  std::int32_t Stage() const { return stage_; }
  bool SingleTrigger() const { return singleTrigger_; }
  double Attack() const { return attack_; }
  double Decay() const { return decay_; }
  double Sustain() const { return sustain_; }
  double Release() const { return release_; }
  double RateFactor() const { return rateFactor_; }

 private:
  // Renders voices side by side with this record's own arithmetic.
  friend class VoiceLanes;

 protected:
  explicit EG(double rateFactor) : rateFactor_(rateFactor) {}

  double output_ = 0.0;
  bool singleTrigger_ = false;
  double attack_ = 0.0;
  double decay_ = 0.0;
  double sustain_ = 0.0;
  double release_ = 0.0;
  std::int32_t stage_ = 0;
  double rateFactor_ = 0.0;
  // ExpEG: the level the stage approaches. LinearEG: the change per sample.
  double targetOrStep_ = 0.0;
  // ExpEG: the part of the remaining distance covered per sample.
  double coefficient_ = 0.0;
};
