// AnaMark TUN reader on arbitrary bytes, with and without the exact-tuning preference, followed by the
// conversion into pitch units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tuning/CSingleScale.h"
#include "tuning/PitchTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (bool exact : {false, true}) {
    TUN::CSingleScale scale;
    scale.SetExactTuningPreferred(exact);
    std::istringstream in(bytes);
    const int result = scale.ReadTunText(in);
    if (result < -1 || result > 1) std::abort();
    if ((result == 1) != scale.Err().IsOk()) std::abort();
    std::int32_t table[128];
    BuildPitchTable(scale, table);
    for (std::int32_t p : table) {
      if (p < 0 || p > 17280) std::abort();
    }
  }
  return 0;
}
