#include "BankPlayer.h"

#include <algorithm>
#include <cmath>

#include "MidiSequence.h"
#include "PreviewPhrases.h"
#include "shell/VstTypes.h"

namespace {

constexpr int kBlock = 512;
constexpr double kBpm = 120.0;

// A host that renders offline and answers nothing else.
VstIntPtr OfflineHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
  return opcode == audioMasterGetCurrentProcessLevel ? kProcessLevelOffline : 0;
}

}  // namespace

BankPlayer::BankPlayer(double sampleRate) : sampleRate_(sampleRate), plug_(std::make_unique<Tarvolin>(&OfflineHost)) {}

BankPlayer::~BankPlayer() = default;

std::unique_ptr<BankPlayer> BankPlayer::Create(double sampleRate, const std::string& bankFile, std::string* error) {
  std::unique_ptr<BankPlayer> player(new BankPlayer(sampleRate));
  Tarvolin& plug = *player->plug_;
  if (!bankFile.empty() && !plug.ReadBankFile(bankFile)) {
    *error = "cannot load the bank " + bankFile;
    return nullptr;
  }
  plug.ChangeSampleRate(sampleRate);
  plug.ChangeBlockSize(kBlock);
  plug.OnReset();
  plug.OnActivation(true);
  return player;
}

int BankPlayer::Programs() const { return plug_->NPrograms(); }

std::string BankPlayer::ProgramName(int program) const { return plug_->ProgramName(program); }

bool BankPlayer::Play(int program, double tailSeconds, std::vector<float>* interleaved, std::string* error) {
  Tarvolin& plug = *plug_;
  if (!plug.RecallProgram(program)) {
    *error = "cannot recall program " + std::to_string(program);
    return false;
  }
  plug.FinishWaveTables();
  MidiSequence sequence;
  if (!Previews::SequenceFor(plug.ProgramName(program), kBpm, &sequence, error)) return false;
  const TempoMap map(sequence, sampleRate_);
  std::vector<std::int64_t> frames;
  for (const SequenceEvent& e : sequence.events) frames.push_back(std::llround(map.TickToFrame(e.tick)));
  const std::int64_t last = frames.empty() ? 0 : frames.back();
  const std::int64_t total = last + static_cast<std::int64_t>(std::ceil(tailSeconds * sampleRate_));
  interleaved->assign(static_cast<std::size_t>(total) * 2, 0.0f);
  std::vector<double> left(kBlock);
  std::vector<double> right(kBlock);
  std::size_t next = 0;
  for (std::int64_t start = 0; start < total; start += kBlock) {
    const int n = static_cast<int>(std::min<std::int64_t>(kBlock, total - start));
    while (next < frames.size() && frames[next] < start + n) {
      MidiMessage m;
      m.offset = static_cast<int>(std::max<std::int64_t>(0, frames[next] - start));
      m.status = sequence.events[next].status;
      m.data1 = sequence.events[next].data1;
      m.data2 = sequence.events[next].data2;
      plug.HandleMidiMessage(m);
      ++next;
    }
    double* outs[2] = {left.data(), right.data()};
    plug.ProcessBuffersDouble(nullptr, outs, n);
    for (int i = 0; i < n; ++i) {
      (*interleaved)[static_cast<std::size_t>(start + i) * 2] = static_cast<float>(left[static_cast<std::size_t>(i)]);
      (*interleaved)[static_cast<std::size_t>(start + i) * 2 + 1] = static_cast<float>(right[static_cast<std::size_t>(i)]);
    }
  }
  // Notes still sounding (a long release) are let go before the next program, as a player would.
  plug.SilenceAllVoices();
  return true;
}
