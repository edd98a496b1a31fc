// Hosts enter from several threads at once: the audio thread renders (and takes MIDI program changes
// and Wave Table automation) while the user-interface and automation threads set parameters, read
// display texts and save or restore state, and the wave-table worker builds what was chosen. The
// plug-in lock and the hand-over to the worker must keep them apart (this test also runs under
// ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "ScriptedHost.h"

TEST(Concurrency, AudioParametersDisplaysAndChunksFromSeveralThreads) {
  ScriptedHost host;
  PluginInstance plug(host, true, 48000.0, 128);
  AEffect* e = plug.effect();
  std::atomic<bool> failed{false};

  std::thread audio([&] {
    std::vector<float> l(300), r(300);
    float* outs[2] = {l.data(), r.data()};
    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(VstMidiEvent);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&midi);
    for (int block = 0; block < 1500; ++block) {
      if (block % 10 == 0) {
        // A program change, and a built-in table chosen by automation (no note: the output stays silent).
        midi.midiData[0] = static_cast<char>(0xC0);
        midi.midiData[1] = static_cast<char>((block / 10) % 64);
        e->dispatcher(e, effProcessEvents, 0, 0, &events, 0.0f);
        e->setParameter(e, block % 30 == 0 ? 30 : 11, static_cast<float>((block / 10) % 38 / 65535.0));
      }
      e->processReplacing(e, nullptr, outs, block % 7 == 0 ? 300 : 128);  // some oversized calls
      if (l[0] != 0.0f || r[127] != 0.0f) failed = true;
    }
  });
  std::thread automation([&] {
    for (int i = 0; i < 4000; ++i) {
      e->setParameter(e, i % 153, static_cast<float>(i % 101) / 100.0f);
      if (e->getParameter(e, (i * 7) % 153) > 1.0f) failed = true;
    }
  });
  std::thread displays([&] {
    char text[64];
    for (int i = 0; i < 4000; ++i) {
      e->dispatcher(e, effGetParamDisplay, i % 153, 0, text, 0.0f);
      e->dispatcher(e, effGetParamName, i % 153, 0, text, 0.0f);
      if (std::string(text).size() > 24) failed = true;
    }
  });
  std::thread chunks([&] {
    for (int i = 0; i < 150; ++i) {
      const bool bank = i % 10 == 0;
      void* data = nullptr;
      const VstIntPtr size = e->dispatcher(e, effGetChunk, bank ? 0 : 1, 0, &data, 0.0f);
      if (size <= 0 || data == nullptr) {
        failed = true;
        continue;
      }
      const std::vector<unsigned char> copy(static_cast<unsigned char*>(data),
                                            static_cast<unsigned char*>(data) + size);
      if (e->dispatcher(e, effSetChunk, bank ? 0 : 1, size, const_cast<unsigned char*>(copy.data()), 0.0f) != 1) {
        failed = true;
      }
      e->dispatcher(e, effSetProgram, 0, i % 64, nullptr, 0.0f);
    }
  });
  audio.join();
  automation.join();
  displays.join();
  chunks.join();
  EXPECT_FALSE(failed.load());
}
