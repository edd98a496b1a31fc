// Host chunks as a host hands them in (effSetChunk): program and bank, from an ordinary host and
// from one that hands banks in as programs. The first byte chooses the kind.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzEnvironment.h"
#include "engine/Tarvolin.h"

namespace {

bool g_quirkHost = false;

VstIntPtr Host(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void* ptr, float) {
  if (opcode == audioMasterGetVendorString) std::strcpy(static_cast<char*>(ptr), g_quirkHost ? "Native Instruments" : "Fuzz");
  if (opcode == audioMasterGetProductString) std::strcpy(static_cast<char*>(ptr), "Fuzz Host");
  return 0;
}

Tarvolin* Make(bool quirk) {
  UseOwnConfigurationFolder();
  g_quirkHost = quirk;
  auto* plug = new Tarvolin(&Host);
  plug->FillEmptyPrograms("Empty", plug->NPrograms());
  plug->HostVendorQuirk();  // asked now, while the flag says which host this is
  return plug;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Tarvolin* plain = Make(false);
  static Tarvolin* quirk = Make(true);
  if (size < 1) return 0;
  Tarvolin* plug = (data[0] & 2) != 0 ? quirk : plain;
  const bool bank = (data[0] & 1) == 0;
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  plug->Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(bytes.size()), bytes.data(), 0.0f);
  for (int i = 0; i < plug->NParams(); ++i) {
    const double v = plug->GetParam(i)->Value();
    if (!(v >= plug->GetParam(i)->Min() && v <= plug->GetParam(i)->Max())) std::abort();
  }
  void* out = nullptr;
  plug->Dispatch(effGetChunk, bank ? 0 : 1, 0, &out, 0.0f);
  return 0;
}
