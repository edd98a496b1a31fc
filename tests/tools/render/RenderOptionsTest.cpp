#include "RenderOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool Parse(std::vector<const char*> args, RenderOptions* o, std::string* error) {
  args.insert(args.begin(), "tarvolin-render");
  return ParseRenderOptions(static_cast<int>(args.size()), args.data(), o, error);
}

}  // namespace

TEST(RenderOptions, ValuesAndRepeatedParameters) {
  RenderOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"plug.so", "--midi", "a.mid", "--rate=48000", "--block", "256", "--program", "3",
                     "--param", "Volume=0.5", "--param", "77:=Highpass 24", "--tail", "1.5", "--bench",
                     "--repeat", "4", "--channel", "10", "--format", "24"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.plugin, "plug.so");
  EXPECT_EQ(o.midiFile, "a.mid");
  EXPECT_EQ(o.sampleRate, 48000.0);
  EXPECT_EQ(o.blockSize, 256);
  EXPECT_EQ(o.program, 3);
  ASSERT_EQ(o.parameters.size(), 2u);
  EXPECT_EQ(o.parameters[0].target, "Volume");
  EXPECT_EQ(o.parameters[0].value, "0.5");
  EXPECT_FALSE(o.parameters[0].asText);
  EXPECT_EQ(o.parameters[1].target, "77");
  EXPECT_EQ(o.parameters[1].value, "Highpass 24");
  EXPECT_TRUE(o.parameters[1].asText);
  EXPECT_EQ(o.tailSeconds, 1.5);
  EXPECT_TRUE(o.bench);
  EXPECT_EQ(o.repeat, 4);
  EXPECT_EQ(o.channel, 9);
  EXPECT_EQ(o.sampleFormat, "24");
}

TEST(RenderOptions, Mistakes) {
  RenderOptions o;
  std::string error;
  EXPECT_FALSE(Parse({}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--rate", "fast"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--rate", "0"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--block", "0"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--block"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--bench=yes"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--param", "novalue"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--param", "=1"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--frobnicate"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "q.so"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--midi", "a.mid", "--notes", "C4"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--format", "8"}, &o, &error));
  EXPECT_TRUE(Parse({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
  EXPECT_NE(RenderUsage().find("--list-params"), std::string::npos);
}

TEST(RenderOptions, ProgramsBanksWaveTablesTuningsAndPreviews) {
  RenderOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"p.so", "--fxb", "b.fxb", "--fxp=p.fxp", "--save-fxp", "out.fxp", "--save-fxb", "out.fxb",
                     "--wavetable", "1=a.wav", "--wavetable", "3=b.syx", "--temperament", "Just", "--previews", "dir"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.fxbFile, "b.fxb");
  EXPECT_EQ(o.fxpFile, "p.fxp");
  EXPECT_EQ(o.saveFxp, "out.fxp");
  EXPECT_EQ(o.saveFxb, "out.fxb");
  ASSERT_EQ(o.waveTables.size(), 2u);
  EXPECT_EQ(o.waveTables[1].first, 3);
  EXPECT_EQ(o.waveTables[1].second, "b.syx");
  EXPECT_EQ(o.temperament, "Just");
  EXPECT_EQ(o.previewsDir, "dir");
  for (const char* bad : {"0=a.wav", "4=a.wav", "x=a.wav", "1=", "a.wav"}) {
    EXPECT_FALSE(Parse({"p.so", "--wavetable", bad}, &o, &error)) << bad;
  }
  EXPECT_FALSE(Parse({"p.so", "--wavetable", "2=a.wav", "--wavetable", "2=b.wav"}, &o, &error));
  EXPECT_FALSE(Parse({"p.so", "--tuning", "a.scl", "--temperament", "Just"}, &o, &error));
  // A screenshot draws the instrument built into the tool: no plug-in needed.
  ASSERT_TRUE(Parse({"--screenshot", "editor.png", "--program", "5", "--param", "Volume=0.5"}, &o, &error)) << error;
  EXPECT_EQ(o.screenshot, "editor.png");
  EXPECT_TRUE(o.plugin.empty());
  EXPECT_EQ(o.program, 5);
  EXPECT_FALSE(Parse({"--screenshot"}, &o, &error));
}
