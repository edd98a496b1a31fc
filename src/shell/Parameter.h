#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One automatable setting. The host sees it as a normalised value in [0, 1]; the engine, the state
// chunk and the editor work with its plain value (decibels, semitones, list indices, ...).
//
// Records carry no lock: every read or write happens under the plug-in lock.

enum class ParameterKind { None, Int, Enum, Double };

// Size of the fixed text fields (name, label, group, display texts), terminator included.
constexpr std::size_t kParameterTextSize = 32;

// A name for one integer value of an enumeration.
struct DisplayText {
  std::int32_t value = 0;
  char text[kParameterTextSize] = {};
};

// Writes the display text of a plain value into text (capacity bytes, terminator included).
using DisplayFormatter = void (*)(double value, char* text, std::size_t capacity);

class Parameter {
 public:
  // Makes a fresh record an integer parameter; call before InitDouble.
  void SetKindInt();
  void InitDouble(const char* name, double defaultValue, double min, double max, double step,
                  double shape);
  // An enumeration of count values 0 .. count - 1 named by texts[0 .. count - 1].
  void InitEnum(const char* name, int defaultValue, int count, const char* const* texts);
  void SetDisplayFormatter(DisplayFormatter formatter) { formatter_ = formatter; }

  ParameterKind Kind() const { return kind_; }
  double Value() const { return value_; }
  double Min() const { return min_; }
  double Max() const { return max_; }
  double Step() const { return step_; }
  double Shape() const { return shape_; }
  double Default() const { return default_; }
  int DisplayPrecision() const { return precision_; }
  const char* Name() const { return name_; }
  const char* Label() const { return label_; }
  const char* Group() const { return group_; }
  const std::vector<DisplayText>& DisplayTexts() const { return displayTexts_; }
  bool HasDisplayTexts() const { return !displayTexts_.empty(); }
  bool HasDisplayFormatter() const { return formatter_ != nullptr; }

  // ((clamp(plain) - min) / (max - min)) ^ (1 / shape).
  double ToNormalised(double plain) const;
  double GetNormalised() const { return ToNormalised(value_); }
  // Plain value of a normalised one along the curve, without rounding or clamping.
  double FromNormalised(double normalised) const;
  // The plain value SetFromNormalised gives: the curve, then (except for Double) rounding half up to
  // the step grid, then the upper bound. Input outside [0, 1] is clamped first; NaN must not be
  // passed.
  double PlainFromNormalised(double normalised) const;
  // Sets the value to PlainFromNormalised; NaN changes nothing.
  void SetFromNormalised(double normalised);
  // Whether SetFromNormalised would change the plain value (false for NaN).
  bool ChangedByNormalised(double normalised) const;
  // Sets the value clamped to [min, max] without step rounding; NaN counts as 0.
  void SetPlainClamped(double value);
  // Whether SetPlainClamped would change the value.
  bool ChangedByPlain(double value) const;
  // Normalised default, without clamping.
  double NormalisedDefault() const;

  // Display text of a plain or normalised value into out (capacity bytes, terminator included).
  // A normalised value is shown as the plain value setting it gives (rounded to the step), so that a
  // host's label for a value names what that value selects. The formatter, if any, decides alone;
  // otherwise a non-empty display text of the truncated value (when allowed), otherwise the number
  // with the display precision.
  void GetDisplay(double value, bool normalised, bool allowDisplayTexts, char* out,
                  std::size_t capacity) const;
  void GetDisplayForHost(char* out, std::size_t capacity) const {
    GetDisplay(value_, false, true, out, capacity);
  }
  // The unit label, or "" when the current value is shown by a display text.
  const char* GetLabelForHost() const;
  // The non-empty display text of the truncated value, or nullptr.
  const char* FindDisplayText(double plain) const;

  // Text to plain value: with display texts, the value of the first one equal to text (exact);
  // without, the decimal number in text. Answers false when nothing matches or the number is not
  // finite.
  bool TextToValue(const char* text, double* value) const;

 private:
  DisplayFormatter formatter_ = nullptr;
  ParameterKind kind_ = ParameterKind::None;
  double value_ = 0.0;
  double min_ = 0.0;
  double max_ = 1.0;
  double step_ = 1.0;
  double shape_ = 1.0;
  double default_ = 0.0;
  int precision_ = 0;
  char name_[kParameterTextSize] = {};
  char label_[kParameterTextSize] = {};
  char group_[kParameterTextSize] = {};
  std::vector<DisplayText> displayTexts_;
};
