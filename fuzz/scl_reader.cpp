// Scala scale reader on arbitrary bytes, then the scale applied through the default and a short
// keyboard mapping and converted into pitch units.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tuning/CSCL_Import.h"
#include "tuning/CSingleScale.h"
#include "tuning/PitchTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  TUN::CSCL_Import importer;
  std::istringstream in(bytes);
  const bool ok = importer.ReadSclText(in);
  if (ok != importer.Err().IsOk()) std::abort();
  if (importer.ScaleSize() < 1 || importer.ScaleSize() > 128) std::abort();
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      std::istringstream kbm("5\n10\n100\n60\n64\n300\n7\n0\nx\n3\n127\n");
      importer.ReadKbmText(kbm);
    }
    TUN::CSingleScale scale;
    importer.ApplyTo(scale);
    std::int32_t table[128];
    BuildPitchTable(scale, table);
    for (std::int32_t p : table) {
      if (p < 0 || p > 17280) std::abort();
    }
  }
  return 0;
}
