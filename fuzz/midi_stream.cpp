// MIDI as a host hands it in (effProcessEvents) between audio blocks, mixed with parameter changes:
// every byte pattern must play without a crash, an out-of-range index or a sample that is not a
// finite number within +-8.
//
// Input: records of five bytes. Record kind (byte 0 & 3): 0 a MIDI message (bytes 1-3, offset from
// byte 4 and the kind byte's upper bits, possibly negative or beyond the block); 1 a parameter
// change (index byte 1, value byte 2); 2 an audio block (length from bytes 1-2, 1 ... 2048);
// 3 a sample-rate change (byte 1 picks one).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/Tarvolin.h"

namespace {

Tarvolin* Make() {
  auto* plug = new Tarvolin(nullptr);
  plug->ChangeBlockSize(2048);
  plug->OnReset();
  plug->OnActivation(true);
  return plug;
}

void Render(Tarvolin& plug, int frames) {
  static std::vector<double> left(2048), right(2048);
  double* outs[2] = {left.data(), right.data()};
  plug.ProcessBuffersDouble(nullptr, outs, frames);
  for (int i = 0; i < frames; ++i) {
    if (!(std::fabs(left[static_cast<std::size_t>(i)]) <= 8.0) || !(std::fabs(right[static_cast<std::size_t>(i)]) <= 8.0)) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Tarvolin* plug = Make();
  // Every input starts from the same sound and rate, so that a crash found replays from its file.
  plug->InitCurrentProgram();
  plug->ChangeSampleRate(44100.0);
  plug->OnReset();
  for (std::size_t at = 0; at + 5 <= size; at += 5) {
    const std::uint8_t* r = data + at;
    switch (r[0] & 3) {
      case 0: {
        MidiMessage m;
        m.status = r[1];
        m.data1 = r[2];
        m.data2 = r[3];
        m.offset = static_cast<std::int32_t>(r[4]) * 16 - 512 + (r[0] >> 2);
        plug->HandleMidiMessage(m);
        break;
      }
      case 1:
        plug->SetParameterFromHost(r[1] % 160, r[2] / 255.0);
        break;
      case 2:
        Render(*plug, 1 + ((r[1] | (r[2] << 8)) % 2048));
        break;
      default: {
        static const double kRates[] = {44100.0, 48000.0, 96000.0, 192000.0, 22050.0, 8000.0};
        plug->ChangeSampleRate(kRates[r[1] % 6]);
        plug->OnReset();
        break;
      }
    }
  }
  Render(*plug, 64);
  plug->KillAllVoices();
  return 0;
}
