#include "ScriptedHost.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/TestPaths.h"

namespace {

std::atomic<ScriptedHost*> g_host{nullptr};

extern "C" VstIntPtr HostCallbackEntry(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                       VstIntPtr value, void* ptr, float opt) {
  ScriptedHost* host = g_host.load();
  if (host == nullptr) return 0;
  return host->Answer(effect, opcode, index, value, ptr, opt);
}

void CopyAnswer(void* ptr, const std::string& text) {
  // Hosts are told 64 characters at most for vendor and product.
  std::strncpy(static_cast<char*>(ptr), text.c_str(), 63);
  static_cast<char*>(ptr)[63] = '\0';
}

}  // namespace

void UseHost(ScriptedHost* host) { g_host.store(host); }

ScriptedHost::ScriptedHost() {
  time.sampleRate = 44100.0;
  time.tempo = 120.0;
  time.timeSigNumerator = 4;
  time.timeSigDenominator = 4;
  time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid;
}

VstIntPtr ScriptedHost::Answer(AEffect* /*effect*/, std::int32_t opcode, std::int32_t index,
                               VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterAutomate: {
      std::lock_guard<std::mutex> lock(mutex);
      automated.emplace_back(index, opt);
      return 0;
    }
    case audioMasterBeginEdit: {
      std::lock_guard<std::mutex> lock(mutex);
      beginEdits.push_back(index);
      return 0;
    }
    case audioMasterEndEdit: {
      std::lock_guard<std::mutex> lock(mutex);
      endEdits.push_back(index);
      return 0;
    }
    case audioMasterWantMidi:
      ++wantMidi;
      return 1;
    case audioMasterGetTime:
      ++timeRequests;
      (void)value;
      return answerTime ? reinterpret_cast<VstIntPtr>(&time) : 0;
    case audioMasterProcessEvents: {
      const auto* events = static_cast<const VstEvents*>(ptr);
      std::lock_guard<std::mutex> lock(mutex);
      for (int i = 0; events != nullptr && i < events->numEvents; ++i) {
        if (events->events[i] != nullptr && events->events[i]->type == kVstMidiType) {
          midiOut.push_back(*reinterpret_cast<const VstMidiEvent*>(events->events[i]));
        }
      }
      return processEventsAnswer;
    }
    case audioMasterGetCurrentProcessLevel:
      ++processLevelQueries;
      return processLevel;
    case audioMasterGetVendorString:
      ++vendorQueries;
      CopyAnswer(ptr, vendor);
      return 1;
    case audioMasterGetProductString:
      ++productQueries;
      CopyAnswer(ptr, product);
      return 1;
    case audioMasterGetVendorVersion:
      ++versionQueries;
      return vendorVersion;
    case audioMasterUpdateDisplay: {
      std::lock_guard<std::mutex> lock(mutex);
      updateDisplayThreads.push_back(std::this_thread::get_id());
      ++updateDisplays;
      return 1;
    }
    case audioMasterGetSampleRate:
      return 44100;
    case audioMasterGetBlockSize:
      return 512;
    default:
      return 0;
  }
}

PluginLibrary& PluginLibrary::Get() {
  static PluginLibrary library = [] {
    PluginLibrary l;
    l.handle = dlopen(PluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (l.handle == nullptr) {
      const char* e = dlerror();
      l.error = e != nullptr ? e : "dlopen failed";
      return l;
    }
    l.vstPluginMain = reinterpret_cast<PluginEntryProc>(dlsym(l.handle, "VSTPluginMain"));
    l.main = reinterpret_cast<PluginEntryProc>(dlsym(l.handle, "main"));
    return l;
  }();
  return library;
}

PluginInstance::PluginInstance(ScriptedHost& host, bool ready, double sampleRate, int blockSize)
    : host_(&host) {
  UseHost(host_);
  PluginLibrary& library = PluginLibrary::Get();
  if (library.vstPluginMain == nullptr) return;
  effect_ = library.vstPluginMain(&HostCallbackEntry);
  if (effect_ == nullptr || !ready) return;
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
  Dispatch(effSetBlockSize, 0, blockSize);
  Dispatch(effMainsChanged, 0, 1);
}

PluginInstance::~PluginInstance() { Close(); }

void PluginInstance::Close() {
  if (effect_ == nullptr) return;
  effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
  effect_ = nullptr;
}

VstIntPtr PluginInstance::Dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value,
                                   void* ptr, float opt) const {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::Text(std::int32_t opcode, std::int32_t index, VstIntPtr value) const {
  // Filled with a pattern so that a missing terminator shows up as a long text.
  char buffer[512];
  std::memset(buffer, 'x', sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  Dispatch(opcode, index, value, buffer);
  return buffer;
}

std::vector<unsigned char> PluginInstance::GetChunk(bool bank) const {
  void* data = nullptr;
  const VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr PluginInstance::SetChunk(const std::vector<unsigned char>& bytes, bool bank) const {
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(bytes.size()),
                  const_cast<unsigned char*>(bytes.data()));
}

namespace {

template <typename Ehdr, typename Shdr, typename Sym>
std::vector<std::string> ReadDynamicSymbols(const std::vector<char>& file, std::string* error) {
  std::vector<std::string> names;
  auto fits = [&](std::size_t offset, std::size_t size) {
    return offset <= file.size() && size <= file.size() - offset;
  };
  if (!fits(0, sizeof(Ehdr))) {
    *error = "short ELF header";
    return names;
  }
  Ehdr header;
  std::memcpy(&header, file.data(), sizeof header);
  const std::size_t sectionCount = header.e_shnum;
  if (!fits(header.e_shoff, sectionCount * sizeof(Shdr))) {
    *error = "bad section table";
    return names;
  }
  std::vector<Shdr> sections(sectionCount);
  std::memcpy(sections.data(), file.data() + header.e_shoff, sectionCount * sizeof(Shdr));
  for (const Shdr& s : sections) {
    if (s.sh_type != SHT_DYNSYM) continue;
    if (s.sh_link >= sectionCount || s.sh_entsize != sizeof(Sym) || !fits(s.sh_offset, s.sh_size)) {
      *error = "bad .dynsym";
      return names;
    }
    const Shdr& strings = sections[s.sh_link];
    if (!fits(strings.sh_offset, strings.sh_size)) {
      *error = "bad .dynstr";
      return names;
    }
    for (std::size_t i = 0; i < s.sh_size / sizeof(Sym); ++i) {
      Sym sym;
      std::memcpy(&sym, file.data() + s.sh_offset + i * sizeof(Sym), sizeof sym);
      const unsigned bind = sym.st_info >> 4;
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      if (sym.st_name >= strings.sh_size) continue;
      const char* name = file.data() + strings.sh_offset + sym.st_name;
      names.emplace_back(name, strnlen(name, strings.sh_size - sym.st_name));
    }
  }
  return names;
}

}  // namespace

std::vector<std::string> ExportedSymbols(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (file.size() < EI_NIDENT || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0) {
    *error = "not an ELF file";
    return {};
  }
  if (file[EI_CLASS] == ELFCLASS64) return ReadDynamicSymbols<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(file, error);
  return ReadDynamicSymbols<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(file, error);
}
