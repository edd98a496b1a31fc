// Program files (FXP, opaque chunk or parameter list) as the editor's file menu loads them.
#include <cstdint>
#include <cstdlib>

#include "FuzzEnvironment.h"
#include "shell/PresetFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tarvolin* plug = &FuzzInstrument();
  ChunkBuffer file;
  file.Assign(data, static_cast<int>(size));
  PresetFile::ReadProgramFile(*plug, file);
  RequireParametersInRange(*plug);
  if (plug->CurrentProgram() < 0 || plug->CurrentProgram() >= plug->NPrograms()) std::abort();
  ChunkBuffer out;
  PresetFile::BuildProgramFile(*plug, out);
  return 0;
}
