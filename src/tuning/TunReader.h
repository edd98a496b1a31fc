#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

#include "tuning/CSingleScale.h"

namespace TUN {

// One read of an AnaMark TUN text into a scale: sections, keys and value types of format versions
// 100 and 200, and the choice of the best tuning section at the end.
class TunReader {
 public:
  explicit TunReader(CSingleScale& scale) : scale_(scale) {}

  // 1 on success, 0 when no dataset was found, -1 on any other error (message in the scale).
  int Read(std::istream& in);

  // The text between the double quotes of a string value with its escapes resolved, or false when
  // the value is not a quoted string.
  static bool Unquote(std::string_view value, std::string* out);

 private:
  enum Section : int {
    kNoSection = 0,
    kScaleBegin = 1,
    kScaleEnd = 2,
    kInfo = 3,
    kEditorSpecifics = 4,
    kTuning = 5,
    kExactTuning = 6,
    kFunctionalTuning = 7,
    kMapping = 8,
    kAssignment = 9,
    kDataSet = 10,
  };
  enum Outcome { kContinue, kStop, kFail };

  Outcome OnSectionHeader(std::string_view name);
  Outcome OnKeyLine(std::string_view line);
  Outcome OnScaleBeginKey(int key, std::string_view value);
  Outcome OnInfoKey(int key, std::string_view value);
  Outcome OnFunctionalKey(int key, int index, std::string_view value);
  Outcome Fail(const char* message);
  bool Finish();

  bool ReadString(std::string_view value, std::string* out);
  bool ReadInteger(std::string_view value, std::int32_t* out);
  bool ReadFloat(std::string_view value, double* out);

  CSingleScale& scale_;
  int section_ = kNoSection;
  int bestTuning_ = kNoSection;
  bool dataSetStarted_ = false;
  std::int32_t cents_[CSingleScale::kNotes] = {};
  double exactCents_[CSingleScale::kNotes] = {};
  int highestExactNote_ = -1;
  double exactBaseFrequency_ = 0.0;
};

}  // namespace TUN
