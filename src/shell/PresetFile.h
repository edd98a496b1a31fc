#pragma once

#include <cstdint>
#include <string>

class ChunkBuffer;
class IPlugBase;

// Program (FXP) and bank (FXB) files, and the factory bank carried as an FXB among the library's
// resources. Headers are big-endian, four-character codes stored in character order; the chunk
// inside keeps the little-endian layout of the program state and the bank body.
//
//   FXP  "CcnK", byte size, "FPCh" (or "FxCk": parameter list), format version 1, fx identifier,
//        fx version, parameter count, 28-byte name, chunk size, chunk (version header + state)
//   FXB  "CcnK", byte size, "FBCh" (or "FxBk": list of FxCk programs), format version 2, fx
//        identifier, fx version, program count, current program, 124 reserved bytes, chunk size,
//        chunk (version header + bank body)
//
// The byte size written is the size of the whole file (chunk size + 60, or + 160), as every file
// this synthesizer ever wrote carries it; readers do not rely on it.
class PresetFile {
 public:
  static constexpr int kProgramHeaderSize = 60;
  static constexpr int kBankHeaderSize = 160;
  static constexpr int kNameSize = 28;
  static constexpr int kReservedSize = 124;
  // Files larger than this are not read.
  static constexpr long long kMaxFileSize = 256LL * 1024 * 1024;

  // The current program as an FXP file (opaque-chunk variant), built from the live state.
  static void BuildProgramFile(IPlugBase& plug, ChunkBuffer& file);
  // All programs as an FXB file (opaque-chunk variant), built from the program slots.
  static void BuildBankFile(IPlugBase& plug, ChunkBuffer& file);

  // Loads an FXP file's program into the current slot. False, with nothing changed, when the file
  // is not an FXP of this plug-in (chunk magic, format version 1, fx identifier, fx magic).
  static bool ReadProgramFile(IPlugBase& plug, const ChunkBuffer& file);
  // Loads an FXB file into the program slots. False when it is not an FXB of this plug-in, or when
  // a program of a parameter-list bank has a broken header (the programs before it stay loaded).
  // A parameter-list bank's programs beyond the instrument's slots are not read.
  static bool ReadBankFile(IPlugBase& plug, const ChunkBuffer& file);
  // Loads the factory bank (an FXB opaque-chunk file whose header is taken on trust); answers the
  // position where its bank body ended, or -1.
  static int ReadFactoryBank(IPlugBase& plug, const ChunkBuffer& data);

  // Whole-file input and output. Load refuses folders, special files, files above kMaxFileSize and
  // files that end before their size (being rewritten); Save replaces the file and answers false
  // when it cannot be written in full.
  static bool Load(const std::string& path, ChunkBuffer& out);
  static bool Save(const std::string& path, const ChunkBuffer& data);
};
