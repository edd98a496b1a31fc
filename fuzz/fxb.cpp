// Bank files (FXB, opaque chunk or list of parameter-list programs) as the editor and the startup
// bank load them.
#include <cstdint>
#include <cstdlib>

#include "FuzzEnvironment.h"
#include "shell/PresetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tarvolin* plug = &FuzzInstrument();
  ChunkBuffer file;
  file.Assign(data, static_cast<int>(size));
  PresetFile::ReadBankFile(*plug, file);
  RequireParametersInRange(*plug);
  if (plug->CurrentProgram() < 0 || plug->CurrentProgram() >= plug->NPrograms()) std::abort();
  ChunkBuffer out;
  PresetFile::BuildBankFile(*plug, out);
  return 0;
}
