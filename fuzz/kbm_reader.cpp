// Scala keyboard-mapping reader on arbitrary bytes, then a twelve-degree scale mapped through it and
// converted into pitch units.
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
  std::istringstream scl("Just\n12\n16/15\n9/8\n6/5\n5/4\n4/3\n45/32\n3/2\n8/5\n5/3\n16/9\n15/8\n2/1\n");
  importer.ReadSclText(scl);
  std::istringstream in(bytes);
  const bool ok = importer.ReadKbmText(in);
  if (ok != importer.Err().IsOk()) std::abort();
  if (importer.MapSize() < 1 || importer.MapSize() > 128) std::abort();
  TUN::CSingleScale scale;
  importer.ApplyTo(scale);
  std::int32_t table[128];
  BuildPitchTable(scale, table);
  for (std::int32_t p : table) {
    if (p < 0 || p > 17280) std::abort();
  }
  return 0;
}
