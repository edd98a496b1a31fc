#include "tuning/CSCL_Import.h"

#include <cmath>
#include <sstream>

#include "tuning/CFormula.h"
#include "tuning/CStringParser.h"
#include "tuning/TextScan.h"

namespace TUN {

namespace {

bool IsSkipped(const std::string& line) { return line.empty() || line[0] == '!'; }

// Reads lines until one that is neither empty nor a comment; false at the end of the text.
bool NextDataLine(CStringParser& parser, std::istream& in) {
  while (parser.ReadLine(in)) {
    if (!IsSkipped(parser.Line())) return true;
  }
  return false;
}

std::int32_t Clamp(std::int32_t v, std::int32_t lo, std::int32_t hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

std::string FileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CSCL_Import::CSCL_Import() {
  ResetScale();
  ResetKeyboardMapping();
  for (int k = 0; k < kNotes; ++k) noteCents_[k] = 100.0 * k;
}

CSCL_Import::~CSCL_Import() = default;

void CSCL_Import::ResetScale() {
  scaleName_ = kDefaultScaleName;
  scaleSize_ = kNotes;
  for (int k = 0; k < kNotes; ++k) degrees_[k] = 100.0 * k;
}

void CSCL_Import::ResetKeyboardMapping() {
  mapSize_ = 12;
  firstNote_ = 0;
  lastNote_ = 127;
  middleNote_ = 0;
  referenceNote_ = 69;
  referenceFrequency_ = 440.0;
  octaveDegree_ = 12;
  for (int i = 0; i < kNotes; ++i) mapping_[i] = i;
}

bool CSCL_Import::ReadScl(const std::string& path) {
  std::istringstream in;
  if (!CStringParser::Open(path, in)) return Fail("Error opening the file.");
  ResetScale();
  scaleName_ = FileNameOf(path);
  return ReadSclText(in);
}

bool CSCL_Import::ReadSclText(std::istream& in) {
  CStringParser parser;
  if (!parser.ReadLine(in)) return Fail("No data in file.");
  bool anyLineTaken = false;
  bool countRead = false;
  int entries = 0;
  do {
    const std::string& line = parser.Line();
    if (IsSkipped(line)) continue;
    if (!anyLineTaken) {
      anyLineTaken = true;
      bool digitsOnly = true;
      for (char c : line) digitsOnly = digitsOnly && text::IsDigit(c);
      if (!digitsOnly) {
        scaleName_ = line;  // the description
        continue;
      }
    }
    if (!countRead) {
      std::int32_t size = 0;
      text::ScanInteger(line, &size);
      if (size < 1 || size > kNotes - 1) return Fail("Scale size not allowed. Must be within [1;127].");
      scaleSize_ = size;
      degrees_[0] = 0.0;
      countRead = true;
      continue;
    }
    if (++entries > scaleSize_) return Fail("End of file expected, but further data found.");
    double cents = 0.0;
    const std::size_t firstOther = line.find_first_not_of("+-0123456789");
    if (firstOther != std::string::npos && line[firstOther] == '.') {
      text::ScanDecimal(line, &cents);
    } else {
      std::string_view s = line;
      double numerator = 0.0;
      const std::size_t taken = text::ScanDecimal(s, &numerator);
      s.remove_prefix(taken);
      // A number standing alone (the line ends or a blank follows it) is the ratio n/1, as "2" for
      // the octave in many published scales.
      const bool alone = taken > 0 && (s.empty() || text::IsBlank(s[0]));
      s = text::SkipBlanks(s);
      double denominator = 1.0;
      if (!s.empty() && s[0] == '/') {
        denominator = 0.0;
        text::ScanDecimal(text::SkipBlanks(s.substr(1)), &denominator);
        if (denominator == 0.0) return Fail("Division by zero.");
      } else if (!alone) {
        return Fail("Unknown operator. '/' expected.");
      }
      cents = 1200.0 * std::log2(numerator / denominator);
    }
    degrees_[entries] = cents;
  } while (parser.ReadLine(in));

  if (!anyLineTaken || !countRead) return Fail("No data in file.");
  if (entries < scaleSize_) return Fail("Less tuning entries found than expected.");
  return true;
}

bool CSCL_Import::ReadKbm(const std::string& path) {
  std::istringstream in;
  if (!CStringParser::Open(path, in)) return Fail("Error opening the file.");
  ResetKeyboardMapping();
  return ReadKbmText(in);
}

bool CSCL_Import::ReadKbmText(std::istream& in) {
  CStringParser parser;
  std::int32_t header[7] = {};
  double frequency = 0.0;
  for (int item = 0; item < 7; ++item) {
    if (!NextDataLine(parser, in)) return Fail("Premature end of file.");
    const std::string& line = parser.Line();
    if (item == 5) {
      text::ScanDecimal(line, &frequency);
    } else {
      text::ScanInteger(line, &header[item]);
    }
    switch (item) {
      case 0:
        // Up to a full keyboard per period; the mapping index is taken modulo the map size, so any
        // middle note fits.
        mapSize_ = Clamp(header[0], 1, kNotes);
        break;
      case 1:
        firstNote_ = Clamp(header[1], 0, kNotes - 1);
        break;
      case 2: {
        const std::int32_t last = Clamp(header[2], 0, kNotes - 1);
        if (last <= firstNote_) return Fail("Setting out of range.");
        lastNote_ = last;
        break;
      }
      case 3:
        middleNote_ = Clamp(header[3], 0, kNotes - 1);
        break;
      case 4:
        referenceNote_ = Clamp(header[4], 0, kNotes - 1);
        break;
      case 5:
        referenceFrequency_ = frequency < 0.001 ? 0.001 : (frequency > 100000.0 ? 100000.0 : frequency);
        break;
      default:
        octaveDegree_ = Clamp(header[6], 0, kNotes - 1);
        break;
    }
  }
  for (int i = 0; i < mapSize_; ++i) mapping_[i] = -1;
  for (int i = 0; i < mapSize_; ++i) {
    if (!NextDataLine(parser, in)) return true;  // keys left out at the end stay unmapped
    const std::string& line = parser.Line();
    if (line[0] == 'x' || line[0] == 'X') continue;
    std::int32_t degree = 0;
    text::ScanInteger(line, &degree);
    mapping_[i] = Clamp(degree, 0, kNotes - 1);
  }
  if (NextDataLine(parser, in)) return Fail("End of file expected, but additional data found.");
  return true;
}

void CSCL_Import::ComputeNoteCents() {
  const std::int32_t m = mapSize_ < 1 ? 1 : mapSize_;
  for (int k = 0; k < kNotes; ++k) {
    noteCents_[k] = 100.0 * k;
    if (k < firstNote_ || k > lastNote_) continue;
    const std::int32_t o = k - middleNote_;
    const std::int32_t r = ((o % m) + m) % m;
    const std::int32_t q = (o - r) / m;
    const std::int32_t d = mapping_[r];
    if (d >= 0 && d < scaleSize_ && d < kNotes) {
      noteCents_[k] = 100.0 * (middleNote_ + q * octaveDegree_) + degrees_[d];
    }
  }
}

void CSCL_Import::ApplyTo(CSingleScale& scale) {
  ComputeNoteCents();
  scale.Reset();
  scale.FillEqualTemperament(referenceNote_, referenceFrequency_);
  for (int i = 0; i < kNotes; ++i) {
    if (i == referenceNote_) continue;
    CFormula formula(i);
    formula.base = SRVParam(SRVParam::kAbsoluteNote, referenceNote_, 0.0);
    formula.cents = noteCents_[i] - noteCents_[referenceNote_];
    scale.ApplyFormula(formula);
  }
}

}  // namespace TUN
