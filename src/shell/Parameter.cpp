#include "shell/Parameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "shell/TextFormat.h"

void Parameter::SetKindInt() { kind_ = ParameterKind::Int; }

void Parameter::InitDouble(const char* name, double defaultValue, double min, double max,
                           double step, double shape) {
  if (kind_ == ParameterKind::None) kind_ = ParameterKind::Double;
  CopyText(name_, name != nullptr ? name : "", kParameterTextSize - 1);
  label_[0] = '\0';
  group_[0] = '\0';
  value_ = defaultValue;
  min_ = min;
  step_ = step;
  default_ = defaultValue;
  max_ = std::max(max, min + step);
  // Decimals needed to show the step exactly: multiply by ten until no fraction is left, at most
  // six times.
  // Each product is rounded to a double (volatile), so that x87 registers with extra precision
  // count the same as SSE does: 0.01 * 10 * 10 is exactly 1 only in double arithmetic.
  precision_ = 0;
  volatile double s = step;
  while (precision_ < 6 && s != std::floor(s)) {
    s = s * 10.0;
    ++precision_;
  }
  if (shape != 0.0) shape_ = shape;
}

void Parameter::InitEnum(const char* name, int defaultValue, int count, const char* const* texts) {
  if (kind_ == ParameterKind::None) kind_ = ParameterKind::Enum;
  InitDouble(name, defaultValue, 0.0, count - 1, 1.0, 1.0);
  displayTexts_.clear();
  displayTexts_.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
  for (int i = 0; i < count; ++i) {
    DisplayText entry;
    entry.value = i;
    CopyText(entry.text, texts != nullptr && texts[i] != nullptr ? texts[i] : "",
             kParameterTextSize - 1);
    displayTexts_.push_back(entry);
  }
}

double Parameter::ToNormalised(double plain) const {
  const double clamped = std::clamp(plain, min_, max_);
  return std::pow((clamped - min_) / (max_ - min_), 1.0 / shape_);
}

double Parameter::FromNormalised(double normalised) const {
  return std::pow(normalised, shape_) * (max_ - min_) + min_;
}

double Parameter::PlainFromNormalised(double normalised) const {
  double plain = FromNormalised(std::clamp(normalised, 0.0, 1.0));
  if (kind_ != ParameterKind::Double) plain = std::floor(plain / step_ + 0.5) * step_;
  return std::min(plain, max_);
}

void Parameter::SetFromNormalised(double normalised) {
  if (std::isnan(normalised)) return;
  value_ = PlainFromNormalised(normalised);
}

bool Parameter::ChangedByNormalised(double normalised) const {
  return !std::isnan(normalised) && PlainFromNormalised(normalised) != value_;
}

void Parameter::SetPlainClamped(double value) {
  value_ = std::clamp(std::isnan(value) ? 0.0 : value, min_, max_);
}

bool Parameter::ChangedByPlain(double value) const {
  return std::clamp(std::isnan(value) ? 0.0 : value, min_, max_) != value_;
}

double Parameter::NormalisedDefault() const {
  return std::pow((default_ - min_) / (max_ - min_), 1.0 / shape_);
}

const char* Parameter::FindDisplayText(double plain) const {
  const int key = TruncateToInt(plain);
  for (const DisplayText& entry : displayTexts_) {
    if (entry.value == key) return entry.text[0] != '\0' ? entry.text : nullptr;
  }
  return nullptr;
}

void Parameter::GetDisplay(double value, bool normalised, bool allowDisplayTexts, char* out,
                           std::size_t capacity) const {
  if (out == nullptr || capacity == 0) return;
  out[0] = '\0';
  // Hosts may ask for any number; the text stays within the parameter's range.
  if (normalised) value = PlainFromNormalised(std::isnan(value) ? 0.0 : value);
  if (formatter_ != nullptr) {
    formatter_(value, out, capacity);
    out[capacity - 1] = '\0';
    return;
  }
  if (allowDisplayTexts) {
    if (const char* text = FindDisplayText(value)) {
      CopyText(out, text, capacity - 1);
      return;
    }
  }
  if (precision_ > 0) {
    FormatFixed(value, precision_, out, capacity);
  } else {
    FormatInt(TruncateToInt(value), out, capacity);
  }
}

const char* Parameter::GetLabelForHost() const {
  if (FindDisplayText(value_) != nullptr) return "";
  return label_;
}

bool Parameter::TextToValue(const char* text, double* value) const {
  if (text == nullptr || value == nullptr) return false;
  if (!displayTexts_.empty()) {
    for (const DisplayText& entry : displayTexts_) {
      if (std::strcmp(entry.text, text) == 0) {
        *value = entry.value;
        return true;
      }
    }
    return false;
  }
  const double parsed = ParseDouble(std::string_view(text, BoundedLength(text, 256)));
  if (!std::isfinite(parsed)) return false;
  *value = parsed;
  return true;
}
