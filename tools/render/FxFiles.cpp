#include "FxFiles.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "HostedPlugin.h"
#include "shell/UserFile.h"

namespace FxFiles {

namespace {

using Bytes = std::vector<unsigned char>;

// Anything larger is not a preset file.
constexpr std::size_t kMaxFileSize = 256u << 20;

bool ReadFile(const std::string& path, Bytes* out, std::string* error) {
  if (UserFile::ReadWhole(path, kMaxFileSize, out) != UserFile::Result::kRead) {
    *error = "cannot read " + path + " (a preset file of at most 256 MiB)";
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const Bytes& bytes, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

// Big-endian fields; reads beyond the data give 0.
std::uint32_t U32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) return 0;
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}
std::int32_t I32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32(b, at)); }
float F32(const Bytes& b, std::size_t at) {
  const std::uint32_t bits = U32(b, at);
  float f = 0.0f;
  std::memcpy(&f, &bits, 4);
  return f;
}
std::string Name(const Bytes& b, std::size_t at) {
  std::string name;
  for (std::size_t i = at; i < at + 28 && i < b.size() && b[i] != 0; ++i) name += static_cast<char>(b[i]);
  return name;
}

void Put32(Bytes& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<unsigned char>(v >> shift));
}
void PutCode(Bytes& b, const char* code) { b.insert(b.end(), code, code + 4); }
void PutFloat(Bytes& b, float f) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &f, 4);
  Put32(b, bits);
}
void PutName(Bytes& b, const std::string& name) {
  char field[28] = {};
  std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), 27));
  b.insert(b.end(), field, field + 28);
}

bool IsCode(const Bytes& b, std::size_t at, const char* code) {
  return at + 4 <= b.size() && std::memcmp(b.data() + at, code, 4) == 0;
}

bool CheckHeader(HostedPlugin& plug, const Bytes& b, const std::string& path, std::size_t headerSize,
                 std::string* error) {
  if (b.size() < headerSize || !IsCode(b, 0, "CcnK")) {
    *error = path + " is not a preset file";
    return false;
  }
  if (I32(b, 16) != plug.Effect()->uniqueID) {
    *error = path + " was saved by another plug-in";
    return false;
  }
  return true;
}

void SetName(HostedPlugin& plug, const std::string& name) {
  std::vector<char> text(name.begin(), name.end());
  text.push_back('\0');
  plug.Dispatch(effSetProgramName, 0, 0, text.data());
}

// One parameter-list program (after its 56-byte header at at): values for every parameter it has.
void ApplyParameters(HostedPlugin& plug, const Bytes& b, std::size_t at, int count) {
  const int n = std::min(count, plug.NumParams());
  for (int i = 0; i < n && at + 4 * static_cast<std::size_t>(i) + 4 <= b.size(); ++i) {
    plug.SetParam(i, F32(b, at + 4 * static_cast<std::size_t>(i)));
  }
}

Bytes Chunk(const Bytes& b, std::size_t at) {
  const std::size_t declared = static_cast<std::uint32_t>(I32(b, at - 4));
  const std::size_t available = b.size() > at ? b.size() - at : 0;
  return Bytes(b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size())),
               b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size()) + std::min(declared, available)));
}

}  // namespace

bool LoadProgram(HostedPlugin& plug, const std::string& path, std::string* error) {
  Bytes b;
  if (!ReadFile(path, &b, error) || !CheckHeader(plug, b, path, 56, error)) return false;
  if (IsCode(b, 8, "FPCh")) {
    if (!plug.SetChunk(Chunk(b, 60), false)) {
      *error = "the plug-in refused the program in " + path;
      return false;
    }
    return true;
  }
  if (IsCode(b, 8, "FxCk")) {
    ApplyParameters(plug, b, 56, I32(b, 24));
    SetName(plug, Name(b, 28));
    return true;
  }
  *error = path + " is not a program file";
  return false;
}

bool LoadBank(HostedPlugin& plug, const std::string& path, std::string* error) {
  Bytes b;
  if (!ReadFile(path, &b, error) || !CheckHeader(plug, b, path, 156, error)) return false;
  if (IsCode(b, 8, "FBCh")) {
    if (!plug.SetChunk(Chunk(b, 160), true)) {
      *error = "the plug-in refused the bank in " + path;
      return false;
    }
    return true;
  }
  if (!IsCode(b, 8, "FxBk")) {
    *error = path + " is not a bank file";
    return false;
  }
  const int programs = std::min(I32(b, 24), plug.NumPrograms());
  std::size_t at = 156;
  for (int i = 0; i < programs; ++i) {
    if (!IsCode(b, at, "CcnK") || !IsCode(b, at + 8, "FxCk")) {
      *error = path + ": program " + std::to_string(i + 1) + " is damaged";
      return false;
    }
    const int count = std::max(0, I32(b, at + 24));
    plug.SetProgram(i);
    ApplyParameters(plug, b, at + 56, count);
    SetName(plug, Name(b, at + 28));
    at += 56 + 4 * static_cast<std::size_t>(count);
  }
  const int current = I32(b, 28);
  if (current >= 0 && current < plug.NumPrograms()) plug.SetProgram(current);
  return true;
}

bool SaveProgram(HostedPlugin& plug, const std::string& path, std::string* error) {
  Bytes b;
  PutCode(b, "CcnK");
  const bool chunks = plug.UsesChunks();
  const Bytes chunk = chunks ? plug.GetChunk(false) : Bytes();
  const int params = plug.NumParams();
  Put32(b, static_cast<std::uint32_t>(chunks ? 52 + chunk.size() : 48 + 4 * static_cast<std::size_t>(params)));
  PutCode(b, chunks ? "FPCh" : "FxCk");
  Put32(b, 1);
  Put32(b, static_cast<std::uint32_t>(plug.Effect()->uniqueID));
  Put32(b, static_cast<std::uint32_t>(plug.Effect()->version));
  Put32(b, static_cast<std::uint32_t>(params));
  PutName(b, plug.ProgramName(plug.CurrentProgram()));
  if (chunks) {
    Put32(b, static_cast<std::uint32_t>(chunk.size()));
    b.insert(b.end(), chunk.begin(), chunk.end());
  } else {
    for (int i = 0; i < params; ++i) PutFloat(b, plug.GetParam(i));
  }
  return WriteFile(path, b, error);
}

bool SaveBank(HostedPlugin& plug, const std::string& path, std::string* error) {
  Bytes b;
  PutCode(b, "CcnK");
  const bool chunks = plug.UsesChunks();
  const int current = plug.CurrentProgram();
  Bytes body;
  if (chunks) {
    body = plug.GetChunk(true);
  } else {
    for (int p = 0; p < plug.NumPrograms(); ++p) {
      plug.SetProgram(p);
      PutCode(body, "CcnK");
      Put32(body, static_cast<std::uint32_t>(48 + 4 * plug.NumParams()));
      PutCode(body, "FxCk");
      Put32(body, 1);
      Put32(body, static_cast<std::uint32_t>(plug.Effect()->uniqueID));
      Put32(body, static_cast<std::uint32_t>(plug.Effect()->version));
      Put32(body, static_cast<std::uint32_t>(plug.NumParams()));
      PutName(body, plug.ProgramName(p));
      for (int i = 0; i < plug.NumParams(); ++i) PutFloat(body, plug.GetParam(i));
    }
    plug.SetProgram(current);
  }
  Put32(b, static_cast<std::uint32_t>(148 + (chunks ? 4 : 0) + body.size()));
  PutCode(b, chunks ? "FBCh" : "FxBk");
  Put32(b, 2);
  Put32(b, static_cast<std::uint32_t>(plug.Effect()->uniqueID));
  Put32(b, static_cast<std::uint32_t>(plug.Effect()->version));
  Put32(b, static_cast<std::uint32_t>(plug.NumPrograms()));
  Put32(b, static_cast<std::uint32_t>(current));
  b.insert(b.end(), 124, 0);
  if (chunks) Put32(b, static_cast<std::uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return WriteFile(path, b, error);
}

}  // namespace FxFiles
