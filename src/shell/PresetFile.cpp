#include "shell/PresetFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "shell/ChunkBuffer.h"
#include "shell/IPlugBase.h"
#include "shell/TextFormat.h"
#include "shell/UserFile.h"

namespace {

// Reads header fields in order; a field that lies beyond the end reads as missing (zero bytes).
class HeaderReader {
 public:
  HeaderReader(const ChunkBuffer& data, int pos) : data_(data), pos_(pos) {}

  std::uint32_t Code() {
    std::uint8_t raw[4] = {};
    Bytes(raw, 4);
    return std::uint32_t{raw[0]} << 24 | std::uint32_t{raw[1]} << 16 | std::uint32_t{raw[2]} << 8 | raw[3];
  }
  std::int32_t Int() { return static_cast<std::int32_t>(Code()); }
  float Float(bool* present) {
    std::uint32_t bits = 0;
    *present = data_.GetBE(&bits, pos_) >= 0;
    pos_ += 4;
    float value = 0.0f;
    std::memcpy(&value, &bits, 4);
    return value;
  }
  // A name fills its field; without a zero byte in it, the whole field is the name.
  std::string Name() {
    char raw[PresetFile::kNameSize] = {};
    Bytes(raw, PresetFile::kNameSize);
    return std::string(raw, BoundedLength(raw, PresetFile::kNameSize));
  }
  void Skip(int size) { pos_ += size; }
  int Position() const { return pos_; }

 private:
  void Bytes(void* out, int size) {
    if (data_.GetBytes(out, size, pos_) < 0) std::memset(out, 0, static_cast<std::size_t>(size));
    pos_ += size;
  }

  const ChunkBuffer& data_;
  int pos_;
};

constexpr std::uint32_t Code(const char (&text)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(text[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(text[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(text[2])} << 8 | static_cast<std::uint8_t>(text[3]);
}

constexpr std::uint32_t kChunkMagic = Code("CcnK");
constexpr std::uint32_t kProgramChunk = Code("FPCh");
constexpr std::uint32_t kProgramParams = Code("FxCk");
constexpr std::uint32_t kBankChunk = Code("FBCh");
constexpr std::uint32_t kBankPrograms = Code("FxBk");

void PutCode(ChunkBuffer& out, std::uint32_t code) { out.PutBE<std::uint32_t>(code); }

void PutName(ChunkBuffer& out, const std::string& name) {
  char field[PresetFile::kNameSize] = {};
  CopyText(field, name, PresetFile::kNameSize - 1);
  out.PutBytes(field, PresetFile::kNameSize);
}

// Sets parameters from big-endian floats taken as normalised values, stopping where the data ends
// (the parameters after that keep their values).
void ReadParameterList(IPlugBase& plug, HeaderReader& reader) {
  for (int i = 0; i < plug.NParams(); ++i) {
    bool present = false;
    const float value = reader.Float(&present);
    if (!present) break;
    plug.GetParam(i)->SetFromNormalised(value);
    plug.OnParameterChanged(i);
  }
}

}  // namespace

void PresetFile::BuildProgramFile(IPlugBase& plug, ChunkBuffer& file) {
  PluginLock lock(plug.PluginMutex());
  ChunkBuffer chunk;
  IPlugBase::WriteVersionHeader(chunk);
  plug.SerializeProgramState(chunk);
  file.Clear();
  file.Reserve(chunk.Size() + kProgramHeaderSize);
  PutCode(file, kChunkMagic);
  file.PutBE<std::int32_t>(chunk.Size() + kProgramHeaderSize);
  PutCode(file, kProgramChunk);
  file.PutBE<std::int32_t>(1);
  file.PutBE<std::int32_t>(plug.Info().uniqueId);
  file.PutBE<std::int32_t>(plug.DecimalVersion());
  file.PutBE<std::int32_t>(plug.NParams());
  PutName(file, plug.ProgramName(plug.CurrentProgram()));
  file.PutBE<std::int32_t>(chunk.Size());
  file.PutBytes(chunk.Data(), chunk.Size());
}

void PresetFile::BuildBankFile(IPlugBase& plug, ChunkBuffer& file) {
  PluginLock lock(plug.PluginMutex());
  ChunkBuffer chunk;
  IPlugBase::WriteVersionHeader(chunk);
  plug.SerializePresets(chunk);
  file.Clear();
  file.Reserve(chunk.Size() + kBankHeaderSize);
  PutCode(file, kChunkMagic);
  file.PutBE<std::int32_t>(chunk.Size() + kBankHeaderSize);
  PutCode(file, kBankChunk);
  file.PutBE<std::int32_t>(2);
  file.PutBE<std::int32_t>(plug.Info().uniqueId);
  file.PutBE<std::int32_t>(plug.DecimalVersion());
  file.PutBE<std::int32_t>(plug.NPrograms());
  file.PutBE<std::int32_t>(plug.CurrentProgram());
  const std::uint8_t reserved[kReservedSize] = {};
  file.PutBytes(reserved, kReservedSize);
  file.PutBE<std::int32_t>(chunk.Size());
  file.PutBytes(chunk.Data(), chunk.Size());
}

// Readers look at the file's headers without the plug-in lock (the file is theirs) and take the lock
// only to apply what they read; program states and banks are read ahead of it where the product
// class supports that.
bool PresetFile::ReadProgramFile(IPlugBase& plug, const ChunkBuffer& file) {
  HeaderReader header(file, 0);
  const std::uint32_t chunkMagic = header.Code();
  header.Skip(4);  // byte size
  const std::uint32_t fxMagic = header.Code();
  const std::int32_t formatVersion = header.Int();
  const std::int32_t fxId = header.Int();
  header.Skip(8);  // fx version, parameter count
  const std::string name = header.Name();
  if (chunkMagic != kChunkMagic || formatVersion != 1 || fxId != plug.Info().uniqueId) return false;
  // A file that ends inside its header, or before its state begins, holds no program: it is refused
  // and the current program keeps its sound and name.
  if (file.Size() < kProgramHeaderSize - 4 || (fxMagic == kProgramChunk && file.Size() <= kProgramHeaderSize)) {
    return false;
  }
  const auto store = [&plug, &name](int) {
    plug.ModifyCurrentPreset(name.c_str());
    plug.RecallProgram(plug.CurrentProgram());
  };
  if (fxMagic == kProgramChunk) {
    std::int32_t version = 0;
    const int pos = IPlugBase::ReadVersionHeader(file, kProgramHeaderSize, &version);
    // A state cut short applies what it holds; the file still counts as read.
    plug.LoadProgramState(file, pos, store);
  } else if (fxMagic == kProgramParams) {
    PluginLock lock(plug.PluginMutex());
    ReadParameterList(plug, header);
    store(0);
  } else {
    return false;
  }
  plug.ReportProgramChange();
  return true;
}

bool PresetFile::ReadBankFile(IPlugBase& plug, const ChunkBuffer& file) {
  HeaderReader header(file, 0);
  const std::uint32_t chunkMagic = header.Code();
  header.Skip(4);  // byte size
  const std::uint32_t fxMagic = header.Code();
  header.Skip(4);  // format version
  const std::int32_t fxId = header.Int();
  header.Skip(4);  // fx version
  const std::int32_t programCount = header.Int();
  const std::int32_t currentProgram = header.Int();
  header.Skip(kReservedSize);
  if (chunkMagic != kChunkMagic || fxId != plug.Info().uniqueId) return false;
  // Likewise a bank file that ends inside its header or before its bank begins: nothing changes.
  if (file.Size() < kBankHeaderSize - 4 || (fxMagic == kBankChunk && file.Size() <= kBankHeaderSize)) return false;
  if (fxMagic == kBankChunk) {
    std::int32_t version = 0;
    const int pos = IPlugBase::ReadVersionHeader(file, kBankHeaderSize, &version);
    plug.UnserializePresets(file, pos);
    plug.ReportProgramChange();
    return true;
  }
  if (fxMagic != kBankPrograms) return false;
  // The instrument has no slot for programs beyond its own count; they are left unread rather than
  // written over the last slot.
  const int count = std::min<std::int32_t>(programCount, plug.NPrograms());
  HeaderReader program(file, header.Position());
  for (int i = 0; i < count; ++i) {
    const std::uint32_t magic = program.Code();
    program.Skip(4);  // byte size
    const std::uint32_t kind = program.Code();
    const std::int32_t version = program.Int();
    program.Skip(8);  // fx identifier, fx version
    const std::int32_t parameters = program.Int();
    const std::string name = program.Name();
    if (magic != kChunkMagic || kind != kProgramParams || version != 1 || parameters != plug.NParams()) return false;
    // One program per hold of the lock: the audio thread plays on between them.
    PluginLock lock(plug.PluginMutex());
    plug.RecallProgram(i);
    ReadParameterList(plug, program);
    plug.ModifyCurrentPreset(name.c_str());
  }
  plug.PrepareProgramToPlay(currentProgram);
  plug.RecallProgram(currentProgram);
  plug.ReportProgramChange();
  return true;
}

int PresetFile::ReadFactoryBank(IPlugBase& plug, const ChunkBuffer& data) {
  std::int32_t version = 0;
  const int pos = IPlugBase::ReadVersionHeader(data, kBankHeaderSize, &version);
  const int end = plug.UnserializePresets(data, pos);
  plug.ReportProgramChange();
  return end;
}

bool PresetFile::Load(const std::string& path, ChunkBuffer& out) {
  out.Clear();
  std::vector<std::uint8_t> bytes;
  if (UserFile::ReadWhole(path, kMaxFileSize, &bytes) != UserFile::Result::kRead) return false;
  out.Assign(bytes.data(), static_cast<int>(bytes.size()));
  return true;
}

bool PresetFile::Save(const std::string& path, const ChunkBuffer& data) {
  if (path.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(data.Data(), 1, static_cast<std::size_t>(data.Size()), file) ==
            static_cast<std::size_t>(data.Size());
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}
