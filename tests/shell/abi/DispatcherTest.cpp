// The dispatcher opcodes as a host calls them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <thread>

#include "ScriptedHost.h"

namespace {

// Starts from the factory "Init" program, whose values are the parameter defaults.
class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override { plug.Dispatch(effSetProgram, 0, 63); }
  ScriptedHost host;
  PluginInstance plug{host};
};

}  // namespace

TEST_F(Dispatcher, IdentityAnswers) {
  EXPECT_EQ(plug.Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(plug.Dispatch(effGetVendorVersion), 10105);
  EXPECT_EQ(plug.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(plug.Dispatch(effGetPlugCategory), 2);
  EXPECT_EQ(plug.Dispatch(effGetTailSize), 0);
  EXPECT_EQ(plug.Dispatch(effProcessVarIo), 0);
  EXPECT_EQ(plug.Text(effGetEffectName), "Tarvolin");
  EXPECT_EQ(plug.Text(effGetVendorString), "Stonemoor Music");
  EXPECT_EQ(plug.Text(effGetProductString), "");
  char buffer[65];
  EXPECT_EQ(plug.Dispatch(effGetEffectName, 0, 0, buffer), 1);
  EXPECT_EQ(plug.Dispatch(effGetProductString, 0, 0, buffer), 1);
  EXPECT_EQ(plug.Dispatch(effGetEffectName), 0);
  EXPECT_EQ(plug.Dispatch(effGetVendorString), 0);
  EXPECT_EQ(plug.Dispatch(effGetProductString), 0);
}

TEST_F(Dispatcher, UnlistedOpcodesAnswerZero) {
  const std::set<int> unlisted = {9,  16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 38, 39,
                                  40, 43, 44, 46, 54, 55, 56, 57, 59, 60, 61, 62, 63, 64,
                                  65, 67, 68, 70, 71, 72, 73, 77, 79, 1000, -1, 0x7FFFFFFF};
  char buffer[256] = {};
  for (int op : unlisted) {
    EXPECT_EQ(plug.Dispatch(op, 0, 0, buffer, 0.0f), 0) << op;
    EXPECT_EQ(plug.Dispatch(op, 5, 1, nullptr, 1.0f), 0) << op;
  }
  // The instance still works.
  EXPECT_EQ(plug.Dispatch(effGetVendorVersion), 10105);
}

TEST_F(Dispatcher, ParameterTexts) {
  EXPECT_EQ(plug.ParamName(0), "Volume");
  EXPECT_EQ(plug.ParamDisplay(0), "-6.0");
  EXPECT_EQ(plug.ParamLabel(0), "");
  EXPECT_EQ(plug.ParamName(78), "Filter Cutoff");
  EXPECT_EQ(plug.ParamDisplay(78), "19912");
  EXPECT_EQ(plug.ParamName(2), "Number of Voices");
  EXPECT_EQ(plug.ParamDisplay(2), "1");
  EXPECT_EQ(plug.ParamName(152), "reserved");
  EXPECT_EQ(plug.ParamDisplay(152), "0");
  EXPECT_EQ(plug.ParamName(137), "Vibrato Mod");
  EXPECT_EQ(plug.ParamDisplay(137), "MW+");
  // Out-of-range indices write nothing.
  for (int index : {-1, 153, 100000}) {
    EXPECT_EQ(plug.ParamName(index), std::string(511, 'x'));
    EXPECT_EQ(plug.ParamDisplay(index), std::string(511, 'x'));
    EXPECT_EQ(plug.ParamLabel(index), std::string(511, 'x'));
  }
  EXPECT_EQ(plug.Dispatch(effGetParamName, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effGetParamDisplay, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 0), 1);
  EXPECT_EQ(plug.Dispatch(effCanBeAutomated, 152), 1);
}

TEST_F(Dispatcher, EveryTextFitsTheHostBuffers) {
  for (int i = 0; i < 153; ++i) {
    EXPECT_LE(plug.ParamName(i).size(), 24u) << i;
    for (float v = 0.0f; v <= 1.0f; v += 0.01f) {
      plug.Set(i, v);
      EXPECT_LE(plug.ParamDisplay(i).size(), 24u) << i << " at " << v;
      EXPECT_LE(plug.ParamLabel(i).size(), 24u) << i;
    }
  }
  for (int i = 0; i < 64; ++i) EXPECT_LE(plug.Text(effGetProgramNameIndexed, i).size(), 24u);
  EXPECT_LE(plug.Text(effGetProgramName).size(), 24u);
  EXPECT_LE(plug.Text(effGetEffectName).size(), 32u);
  EXPECT_LE(plug.Text(effGetVendorString).size(), 63u);
}

TEST_F(Dispatcher, LongProgramNamesAreCutForTheHost) {
  const std::string longName(300, 'n');
  plug.Dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  EXPECT_EQ(plug.Text(effGetProgramName), std::string(24, 'n'));
  EXPECT_EQ(plug.Text(effGetProgramNameIndexed, 63), std::string(24, 'n'));
}

TEST_F(Dispatcher, ProgramNamesAndSelection) {
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 64, 0, nullptr), 0);
  char name[64];
  std::memset(name, 'x', sizeof name);
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 64, 0, name), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, -1, 0, name), 0);
  EXPECT_EQ(plug.Dispatch(effGetProgramNameIndexed, 3, 0, name), 1);
  EXPECT_STREQ(name, "SYNTH: Flippy Brass");

  // Edits of the outgoing program are kept when the host switches programs.
  plug.Dispatch(effSetProgram, 0, 0);
  plug.Set(0, 0.25f);
  plug.Dispatch(effSetProgram, 0, 63);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 63);
  EXPECT_NEAR(plug.Get(0), 0.5f, 1e-6);  // "Init" holds the default volume
  plug.Set(0, 0.75f);
  char newName[] = "Bright";
  plug.Dispatch(effSetProgramName, 0, 0, newName);
  plug.Dispatch(effSetProgram, 0, 0);
  EXPECT_NEAR(plug.Get(0), 0.25f, 1e-6);
  plug.Dispatch(effSetProgram, 0, 63);
  EXPECT_NEAR(plug.Get(0), 0.75f, 1e-6);
  EXPECT_EQ(plug.Text(effGetProgramName), "Bright");

  // Out-of-range programs are ignored, including values that would wrap to a valid int.
  for (VstIntPtr bad : {VstIntPtr{64}, VstIntPtr{-1}, VstIntPtr{1000000}}) {
    plug.Dispatch(effSetProgram, 0, bad);
    EXPECT_EQ(plug.Dispatch(effGetProgram), 63);
  }
#if defined(__x86_64__)
  plug.Dispatch(effSetProgram, 0, (VstIntPtr{1} << 32) + 5);
  EXPECT_EQ(plug.Dispatch(effGetProgram), 63);
#endif
  EXPECT_EQ(plug.Dispatch(effSetProgramName, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effGetProgramName, 0, 0, nullptr), 0);

  // A program change by MIDI arrives on the audio thread; the host hears of it on its next call
  // from another thread, once, and never on the audio thread.
  OneMidiEvent change(0xC0, 3, 0);
  host.updateDisplayThreads.clear();
  std::thread audio([&] {
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, change.List()), 1);
    EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, change.List()), 1);  // the same program again
  });
  audio.join();
  EXPECT_TRUE(host.updateDisplayThreads.empty());
  EXPECT_EQ(plug.Dispatch(effGetProgram), 3);
  ASSERT_EQ(host.updateDisplayThreads.size(), 1u);
  EXPECT_EQ(host.updateDisplayThreads[0], std::this_thread::get_id());
  EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
  EXPECT_EQ(host.updateDisplayThreads.size(), 1u);
  // A program change that selects nothing is not told; the idle call tells a real one.
  change.Set(0xC0, 100, 0);
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, change.List()), 1);
  EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
  EXPECT_EQ(host.updateDisplayThreads.size(), 1u);
  change.Set(0xC0, 4, 0);
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, change.List()), 1);
  EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
  EXPECT_EQ(host.updateDisplayThreads.size(), 2u);
  EXPECT_EQ(plug.Text(effGetProgramName), "BASS: PWM Droner");
}

TEST_F(Dispatcher, OutputAndInputPinProperties) {
  VstPinProperties pin{};
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 3);
  EXPECT_STREQ(pin.label, "Output 1");
  std::memset(&pin, 0, sizeof pin);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 1);
  EXPECT_STREQ(pin.label, "Output 2");
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, -1, 0, &pin), 0);
  EXPECT_EQ(plug.Dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effGetInputProperties, 0, 0, &pin), 0);
}

TEST_F(Dispatcher, SpeakerArrangements) {
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->type, -1);
  EXPECT_EQ(in->numChannels, 0);
  EXPECT_EQ(out->type, 1);
  EXPECT_EQ(out->numChannels, 2);
  EXPECT_EQ(plug.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);

  VstSpeakerArrangement mono{};
  mono.type = 0;
  mono.numChannels = 1;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, &mono), 1);
  // The second output is now disconnected: its host buffer is cleared, not left as it was.
  std::vector<float> left(64, 7.0f), right(64, 7.0f);
  float* outs[2] = {left.data(), right.data()};
  plug.effect()->processReplacing(plug.effect(), nullptr, outs, 64);
  for (float v : right) ASSERT_EQ(v, 0.0f);
  VstSpeakerArrangement absurd{};
  absurd.numChannels = -5;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&absurd), &absurd), 1);
  absurd.numChannels = 1000;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&absurd), &absurd), 1);
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST_F(Dispatcher, CanDo) {
  auto canDo = [&](const char* text) { return plug.Dispatch(effCanDo, 0, 0, const_cast<char*>(text)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("sendVstEvents"), 1);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 1);
  EXPECT_EQ(canDo("receiveVstEvents"), 1);
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<VstIntPtr>(0xBEEF0000u));
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), static_cast<VstIntPtr>(0xBEEF0000u));
  EXPECT_EQ(canDo("receiveVstTimeInf"), 0);
  EXPECT_EQ(canDo("plugAsChannelInsert"), 0);
  EXPECT_EQ(canDo(""), 0);
  EXPECT_EQ(plug.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, VendorSpecificDisplayAndIntegerQueries) {
  char text[64];
  std::memset(text, 'x', sizeof text);
  text[63] = '\0';
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 0, text, 0.0f), 0xBEEF);
  EXPECT_STREQ(text, "-oo");
  // Cutoff has shape 0.5: normalised 0.25 is the value 0.5.
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 78, text, 0.25f), 0xBEEF);
  EXPECT_STREQ(text, "403");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 22, text, 1.0f), 0xBEEF);
  EXPECT_STREQ(text, "2'");
  // Asking does not change the parameter.
  EXPECT_NEAR(plug.Get(78), 1.0f, 1e-6);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 0, nullptr, 0.5f), 0);
  std::memset(text, 'x', sizeof text);
  text[63] = '\0';
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 153, text, 0.5f), 0xBEEF);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, -1, text, 0.5f), 0xBEEF);
  EXPECT_EQ(std::string(text), std::string(63, 'x'));
  // Values a host should not send still give a bounded text within the range.
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 11, text, NAN), 0xBEEF);
  EXPECT_STREQ(text, "0");
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, 11, text, 1e30f), 0xBEEF);
  EXPECT_STREQ(text, "65535");
  // A stepped value is labelled with the step that setting it gives (rounded, not cut short).
  const struct {
    int index;
    float value;
    const char* shown;
  } steps[] = {{77, 0.76f, "Highpass 24"}, {77, 0.74f, "Lowpass 12"}, {2, 0.95f, "64"}, {2, 0.74f, "16"},
               {22, 0.9f, "2'"}, {22, 0.2f, "8'"}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.shown);
    EXPECT_EQ(plug.Dispatch(effVendorSpecific, 7, step.index, text, step.value), 0xBEEF);
    EXPECT_STREQ(text, step.shown);
    plug.Set(step.index, step.value);
    EXPECT_EQ(plug.ParamDisplay(step.index), step.shown);
  }

  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 2), 0xBEEF);    // enumeration
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 7), 0xBEEF);    // integer
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 0), 0);         // double
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 8, 153), 0);
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, 9, 2, text), 0);
}

TEST_F(Dispatcher, String2Parameter) {
  auto set = [&](int index, const char* text) {
    return plug.Dispatch(effString2Parameter, index, 0, const_cast<char*>(text));
  };
  // Enumerations take their exact display texts.
  EXPECT_EQ(set(77, "Highpass 24"), 1);
  EXPECT_EQ(plug.ParamDisplay(77), "Highpass 24");
  EXPECT_EQ(set(77, "highpass 24"), 0);
  EXPECT_EQ(set(77, "Bandpass"), 0);
  EXPECT_EQ(plug.ParamDisplay(77), "Highpass 24");
  // Numbers are plain values, clamped, not rounded to the step.
  EXPECT_EQ(set(0, "0.123"), 1);
  EXPECT_NEAR(plug.Get(0), 0.123f, 1e-6);
  EXPECT_EQ(set(0, "  7.5"), 1);
  EXPECT_EQ(plug.Get(0), 1.0f);
  EXPECT_EQ(set(7, "-30"), 1);
  EXPECT_EQ(plug.ParamDisplay(7), "-12");
  EXPECT_EQ(set(0, "garbage"), 1);  // no number reads as 0
  EXPECT_EQ(plug.Get(0), 0.0f);
  EXPECT_EQ(set(0, "nan"), 0);
  EXPECT_EQ(set(0, "inf"), 0);
  EXPECT_EQ(set(153, "1"), 0);
  EXPECT_EQ(set(-1, "1"), 0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 0, 0, nullptr), 1);
}

// The editor's frame exists when the library is built with one: hosts get its size and are told
// of an editor; without a parent window to open in, it opens none.
TEST_F(Dispatcher, EditorWithoutAWindow) {
  ERect* rect = nullptr;
#if TARVOLIN_WITH_EDITOR
  EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->right, 1127);
  EXPECT_EQ(rect->bottom, 776);
  EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effEditClose), 1);
#else
  EXPECT_EQ(plug.Dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(rect, nullptr);
  EXPECT_EQ(plug.Dispatch(effEditClose), 0);
#endif
#if TARVOLIN_WITH_EDITOR
  EXPECT_NE(plug.effect()->flags & effFlagsHasEditor, 0);
#else
  EXPECT_EQ(plug.effect()->flags & effFlagsHasEditor, 0);
#endif
  EXPECT_EQ(plug.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effEditIdle), 0);
  EXPECT_EQ(plug.Dispatch(effIdle), 0);
}

TEST_F(Dispatcher, MidiKeyNames) {
  MidiKeyName key{};
  key.thisKeyNumber = 60;
  std::memset(key.keyName, 'x', sizeof key.keyName);
  EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
  EXPECT_EQ(plug.Dispatch(effGetMidiKeyName, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, SetParameterKeepsValuesInRange) {
  plug.Set(2, 0.74f);
  EXPECT_EQ(plug.ParamDisplay(2), "16");  // 4.44 rounds to index 4
  plug.Set(0, 2.0f);
  EXPECT_EQ(plug.Get(0), 1.0f);
  plug.Set(0, -3.0f);
  EXPECT_EQ(plug.Get(0), 0.0f);
  plug.Set(0, 0.5f);
  plug.Set(0, NAN);
  EXPECT_EQ(plug.Get(0), 0.5f);
  plug.Set(0, INFINITY);
  EXPECT_EQ(plug.Get(0), 1.0f);
  plug.Set(153, 1.0f);
  plug.Set(-1, 1.0f);
  EXPECT_EQ(plug.Get(153), 0.0f);
  EXPECT_EQ(plug.Get(-7), 0.0f);
  // Setting from the host reports nothing back to it.
  EXPECT_TRUE(host.automated.empty());
}
