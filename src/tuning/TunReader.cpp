#include "tuning/TunReader.h"

#include <cmath>
#include <vector>

#include "tuning/CStringParser.h"
#include "tuning/TextScan.h"

namespace TUN {

namespace {

// Frequency of MIDI note 0 with A4 = 440 Hz: where [Tuning] and [Exact Tuning] cents count from.
constexpr double kNoteZeroHz = 8.175798915643707;
constexpr const char* kFormatSpecs = "http://www.mark-henning.de/eternity/tuningspecs.html";

struct SectionEntry {
  const char* name;
  int minVersion;  // -1: accepted with any version; a huge value: never
};
constexpr int kNever = 0x7fffffff;
constexpr SectionEntry kSections[] = {
    {"", -1},
    {"scale begin", -1},
    {"scale end", 200},
    {"info", 200},
    {"editor specifics", 200},
    {"tuning", 100},
    {"exact tuning", 100},
    {"functional tuning", 200},
    {"mapping", 200},
    {"assignment", 200},
    {"_dataset_", kNever},
};

enum Key : int {
  kUnknownKey = 0,
  kFormat = 1,
  kFormatVersion,
  kFormatSpecsKey,
  kName,
  kId,
  kFilename,
  kAuthor,
  kLocation,
  kContact,
  kDate,
  kEditor,
  kEditorSpecs,
  kDescription,
  kKeyword,
  kHistory,
  kGeography,
  kInstrument,
  kComposition,
  kComments,
  kNote,
  kBaseFreq,
  kInitEqual,
  kLoopSize,
  kKeyboard,
  kMidiChannel,
  kAllData,
};
constexpr const char* kKeyNames[] = {
    "",        "format",      "formatversion", "formatspecs", "name",      "id",
    "filename", "author",     "location",      "contact",     "date",      "editor",
    "editorspecs", "description", "keyword",   "history",     "geography", "instrument",
    "composition", "comments", "note",         "basefreq",    "initequal", "loopsize",
    "keyboard", "midichannel", "alldata",
};

// Looks up a lower-cased key; "note" and "keyboard" take an index 0-127 after the word and are
// unknown without one or with one outside that range.
int LookUpKey(std::string_view key, int* index) {
  *index = -1;
  for (int k = 1; k <= kAllData; ++k) {
    if (k == kNote || k == kKeyboard) continue;
    if (key == kKeyNames[k]) return k;
  }
  for (int k : {kNote, kKeyboard}) {
    const std::string_view word = kKeyNames[k];
    if (key.size() > word.size() && key.substr(0, word.size()) == word) {
      std::int32_t n = 0;
      text::ScanInteger(text::SkipBlanks(key.substr(word.size())), &n);
      if (n < 0 || n >= CSingleScale::kNotes) return kUnknownKey;
      *index = n;
      return k;
    }
  }
  return kUnknownKey;
}

bool IsDateText(const std::string& s) {
  if (s.size() != 10) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const bool dash = i == 4 || i == 7;
    if (dash ? s[i] != '-' : !text::IsDigit(s[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool TunReader::Unquote(std::string_view value, std::string* out) {
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return false;
  const std::string_view inner = value.substr(1, value.size() - 2);
  std::string result;
  result.reserve(inner.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    if (c != '\\' || i + 1 == inner.size()) {
      result.push_back(c);  // a backslash as the last character stays
      continue;
    }
    const char e = inner[++i];
    switch (e) {
      case '0': result.push_back('\0'); break;
      case 'a': result.push_back('\a'); break;
      case 'b': result.push_back('\b'); break;
      case 'f': result.push_back('\f'); break;
      case 'n': result.push_back('\n'); break;
      case 'r': result.push_back('\r'); break;
      case 't': result.push_back('\t'); break;
      case 'v': result.push_back('\v'); break;
      case 'x': {
        // Up to three hexadecimal digits; all three characters are consumed even when reading
        // stops early, but never more than the text holds.
        const std::size_t available = inner.size() - (i + 1);
        const std::size_t take = available < 3 ? available : 3;
        unsigned v = 0;
        for (std::size_t k = 0; k < take; ++k) {
          const int d = HexDigit(inner[i + 1 + k]);
          if (d < 0) break;
          v = v * 16 + static_cast<unsigned>(d);
        }
        result.push_back(static_cast<char>(v & 0xffu));
        i += take;
        break;
      }
      default: result.push_back(e); break;  // \" \' \? \\ and any other character
    }
  }
  *out = std::move(result);
  return true;
}

TunReader::Outcome TunReader::Fail(const char* message) {
  scale_.Err().SetError(message);
  return kFail;
}

bool TunReader::ReadString(std::string_view value, std::string* out) {
  if (Unquote(value, out)) return true;
  scale_.Err().SetError("Value type mismatch. String expected!");
  return false;
}

bool TunReader::ReadInteger(std::string_view value, std::int32_t* out) {
  if (text::ParseWholeInteger(value, out)) return true;
  scale_.Err().SetError("Value type mismatch. Integer expected!");
  return false;
}

bool TunReader::ReadFloat(std::string_view value, double* out) {
  if (text::ParseWholeDecimal(value, out)) return true;
  scale_.Err().SetError("Value type mismatch. Float expected!");
  return false;
}

int TunReader::Read(std::istream& in) {
  scale_.Reset();
  section_ = kNoSection;
  bestTuning_ = kNoSection;
  dataSetStarted_ = false;
  for (int i = 0; i < CSingleScale::kNotes; ++i) {
    cents_[i] = 100 * i;
    exactCents_[i] = 100.0 * i;
  }
  highestExactNote_ = -1;
  exactBaseFrequency_ = kNoteZeroHz;

  CStringParser parser;
  if (!parser.ReadLine(in)) {
    scale_.Err().SetError("No scale dataset found");
    return 0;
  }
  bool ended = false;
  do {
    const std::string& line = parser.Line();
    if (line.empty() || line[0] == ';') continue;
    Outcome outcome = kContinue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      outcome = OnSectionHeader(std::string_view(line).substr(1, line.size() - 2));
    } else if (section_ != kNoSection && section_ != kEditorSpecifics) {
      outcome = OnKeyLine(line);
    }
    if (outcome == kFail) return -1;
    if (outcome == kStop) {
      ended = true;
      break;
    }
  } while (parser.ReadLine(in));

  if (!ended) {
    if (!dataSetStarted_) {
      scale_.Err().SetError("No scale dataset found");
      return 0;
    }
    if (scale_.GetInfo().formatVersion >= 200) {
      scale_.Err().SetError("[Scale End] missing at file end or read error.");
      return -1;
    }
  }
  return Finish() ? 1 : -1;
}

TunReader::Outcome TunReader::OnSectionHeader(std::string_view name) {
  const std::string lower = text::ToLower(text::Trim(name));
  int section = kNoSection;
  for (int s = 1; s <= kDataSet; ++s) {
    if (lower == kSections[s].name) section = s;
  }
  section_ = section;
  if (section != kScaleBegin) {
    if (!dataSetStarted_) {
      CSingleScale::Info& info = scale_.GetInfo();
      info.format = "AnaMark-TUN";
      info.formatVersion = 100;
      info.formatSpecs = kFormatSpecs;
    }
    const int minVersion = kSections[section].minVersion;
    if (minVersion >= 0 && scale_.GetInfo().formatVersion < minVersion) {
      return Fail("Section not version compliant.");
    }
  }
  dataSetStarted_ = true;
  if (section == kScaleEnd) return kStop;
  if (section == kTuning || section == kExactTuning || section == kFunctionalTuning) {
    if (section == kFunctionalTuning && scale_.ExactTuningPreferred()) {
      // Its lines still act on the scale, but it never becomes the tuning the file ends with.
    } else if (bestTuning_ > section) {
      section_ = kNoSection;
    } else {
      bestTuning_ = section;
    }
  }
  return kContinue;
}

TunReader::Outcome TunReader::OnKeyLine(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos || !(text::IsLetter(line[0]) || line[0] == '_')) {
    return Fail("Syntax error");
  }
  const std::string key = text::ToLower(text::Trim(line.substr(0, eq)));
  const std::string_view value = text::Trim(line.substr(eq + 1));
  int index = -1;
  const int k = LookUpKey(key, &index);
  if (k == kUnknownKey || k == kAllData) return kContinue;

  switch (section_) {
    case kScaleBegin:
      return OnScaleBeginKey(k, value);
    case kInfo:
      return OnInfoKey(k, value);
    case kTuning:
      if (k == kNote) {
        std::int32_t c = 0;
        if (!ReadInteger(value, &c)) return kFail;
        cents_[index] = c;
      }
      return kContinue;
    case kExactTuning:
      if (k == kNote) {
        double c = 0.0;
        if (!ReadFloat(value, &c)) return kFail;
        exactCents_[index] = c;
        if (index > highestExactNote_) highestExactNote_ = index;
      } else if (k == kBaseFreq) {
        if (!ReadFloat(value, &exactBaseFrequency_)) return kFail;
      }
      return kContinue;
    case kFunctionalTuning:
      return OnFunctionalKey(k, index, value);
    case kMapping:
      if (k == kLoopSize) {
        std::int32_t size = 0;
        if (!ReadInteger(value, &size)) return kFail;
        scale_.SetLoopSize(size);
      } else if (k == kKeyboard) {
        std::int32_t target = 0;
        if (!ReadInteger(value, &target)) return kFail;
        scale_.SetKeyMapping(index, target);
      }
      return kContinue;
    case kAssignment:
      if (k == kMidiChannel) {
        std::string list;
        if (!ReadString(value, &list)) return kFail;
        std::vector<CMIDIChannelRange> ranges;
        std::string_view rest = list;
        for (;;) {
          const std::size_t comma = rest.find(',');
          const std::string_view piece = text::Trim(rest.substr(0, comma));
          if (!piece.empty()) {
            CMIDIChannelRange range;
            if (!range.Parse(piece)) {
              return Fail(
                  "Error in MIDI channel range: syntax error or values exceed the range 1-65535!");
            }
            ranges.push_back(range);
          }
          if (comma == std::string_view::npos) break;
          rest.remove_prefix(comma + 1);
        }
        scale_.ChannelRanges() = std::move(ranges);
      }
      return kContinue;
    default:
      return kContinue;
  }
}

TunReader::Outcome TunReader::OnScaleBeginKey(int key, std::string_view value) {
  CSingleScale::Info& info = scale_.GetInfo();
  switch (key) {
    case kFormat: {
      std::string format;
      if (!ReadString(value, &format)) return kFail;
      if (format != "AnaMark-TUN") return Fail("Format not supported.");
      info.format = format;
      return kContinue;
    }
    case kFormatVersion:
      return ReadInteger(value, &info.formatVersion) ? kContinue : kFail;
    case kFormatSpecsKey:
      return ReadString(value, &info.formatSpecs) ? kContinue : kFail;
    default:
      return kContinue;
  }
}

TunReader::Outcome TunReader::OnInfoKey(int key, std::string_view value) {
  CSingleScale::Info& info = scale_.GetInfo();
  std::string* target = nullptr;
  switch (key) {
    case kName: target = &info.name; break;
    case kId: target = &info.id; break;
    case kFilename: target = &info.filename; break;
    case kAuthor: target = &info.author; break;
    case kLocation: target = &info.location; break;
    case kContact: target = &info.contact; break;
    case kEditor: target = &info.editor; break;
    case kEditorSpecs: target = &info.editorSpecs; break;
    case kDescription: target = &info.description; break;
    case kHistory: target = &info.history; break;
    case kGeography: target = &info.geography; break;
    case kInstrument: target = &info.instrument; break;
    case kComments: target = &info.comments; break;
    case kDate: case kKeyword: case kComposition: break;
    default: return kContinue;
  }
  std::string s;
  if (!ReadString(value, &s)) return kFail;
  if (target != nullptr) {
    *target = std::move(s);
  } else if (key == kDate) {
    if (!IsDateText(s)) return Fail("Date format mismatch. YYYY-MM-DD expected!");
    info.date = std::move(s);
  } else if (key == kKeyword) {
    if (!s.empty()) info.keywords.push_back(std::move(s));
  } else if (!s.empty()) {  // composition
    std::size_t bars = 0;
    for (char c : s) bars += c == '|' ? 1 : 0;
    if (bars != 4) {
      return Fail(
          "Composition format mismatch. \"Musician or Band|Album|Title|Year|Misc\" expected!");
    }
    info.compositions.push_back(std::move(s));
  }
  return kContinue;
}

TunReader::Outcome TunReader::OnFunctionalKey(int key, int index, std::string_view value) {
  if (key == kNote) {
    std::string formulaText;
    if (!ReadString(value, &formulaText)) return kFail;
    CFormula formula(index);
    if (!formula.Parse(formulaText) || !scale_.ApplyFormula(formula)) {
      return Fail("Formula syntax error or parameter refers to invalid note index!");
    }
    return kContinue;
  }
  if (key != kInitEqual) return kContinue;
  if (value.size() < 2 || value.front() != '(' || value.back() != ')') {
    return Fail("Value type mismatch. Function parameter block expected!");
  }
  std::string_view s = value.substr(1, value.size() - 2);
  s = text::SkipBlanks(s);
  std::int32_t baseNote = 0;
  s.remove_prefix(text::ScanInteger(s, &baseNote));
  s = text::SkipBlanks(s);
  if (s.empty() || s[0] != ',') return Fail("Coma after parameter 1 missing!");
  s = text::SkipBlanks(s.substr(1));
  double baseHz = 0.0;
  s.remove_prefix(text::ScanDecimal(s, &baseHz));
  if (!text::SkipBlanks(s).empty()) return Fail("No more data expected after parameter 2!");
  scale_.FillEqualTemperament(baseNote, baseHz);
  return kContinue;
}

bool TunReader::Finish() {
  switch (bestTuning_) {
    case kTuning:
      scale_.ResetKeyMapping();
      scale_.FillEqualTemperament(0, kNoteZeroHz);
      for (int i = 0; i < CSingleScale::kNotes; ++i) {
        scale_.SetFrequency(i, kNoteZeroHz * std::exp2(cents_[i] / 1200.0));
      }
      return true;
    case kExactTuning: {
      scale_.ResetKeyMapping();
      // Notes above the highest one given repeat the pattern with the period of that note, counted
      // from note 0; the notes the file gave keep their values.
      const int h = highestExactNote_;
      if (h >= 1 && h < CSingleScale::kNotes - 1) {
        const double period = exactCents_[h] - exactCents_[0];
        for (int i = h + 1; i < CSingleScale::kNotes; ++i) {
          exactCents_[i] = exactCents_[i - h] + period;
        }
      }
      scale_.FillEqualTemperament(0, exactBaseFrequency_);
      for (int i = 0; i < CSingleScale::kNotes; ++i) {
        scale_.SetFrequency(i, exactBaseFrequency_ * std::exp2(exactCents_[i] / 1200.0));
      }
      return true;
    }
    case kFunctionalTuning:
      return true;
    default:
      scale_.Err().SetError("No tuning data found!");
      return false;
  }
}

}  // namespace TUN
