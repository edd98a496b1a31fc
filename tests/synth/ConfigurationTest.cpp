// The per-user configuration file as instances read and write it, in a configuration folder made
// for each test.
#include "synth/Configuration.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/EngineHarness.h"
#include "engine/ParameterTable.h"
#include "engine/Tarvolin.h"
#include "synth/IniFile.h"
#include "synth/UserFolders.h"
#include "support/TestPaths.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Each test gets configuration folder and home of its own below the test program's home.
class ConfigurationFile : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    home_ = TestHomeFolder() + "/" + info->name();
    ASSERT_TRUE(UserFolders::MakeFolders(home_ + "/config"));
    ::setenv("HOME", home_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    ::setenv("HOME", TestHomeFolder().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (TestHomeFolder() + "/config").c_str(), 1);
  }
  std::string Folder() const { return home_ + "/config/StonemoorMusic"; }
  std::string File() const { return Folder() + "/tarvolin.ini"; }
  void Prepare(const std::string& text) {
    ASSERT_TRUE(UserFolders::MakeFolders(Folder()));
    WriteText(File(), text);
  }
  std::string home_;
};

}  // namespace

TEST_F(ConfigurationFile, ConstructionCreatesTheFolderAndAnEmptyFile) {
  Tarvolin plug(nullptr);
  EXPECT_TRUE(UserFolders::IsFile(File()));
  EXPECT_EQ(ReadText(File()), "");
  EXPECT_EQ(plug.Config().FilePath(), File());
  EXPECT_EQ(plug.Config().StartupBankPath(), "");
  EXPECT_EQ(plug.ReadConfiguration(), Configuration::kReadOk);
  ASSERT_EQ(::unlink(File().c_str()), 0);
  EXPECT_EQ(plug.ReadConfiguration(), Configuration::kFileMissing);
}

TEST_F(ConfigurationFile, DocumentsFolderComesFromTheUserDirectories) {
  {
    Tarvolin plug(nullptr);
    EXPECT_EQ(plug.Config().DocumentsFolder(), home_);  // no Documents folder: the home folder
  }
  ASSERT_TRUE(UserFolders::MakeFolders(home_ + "/Documents"));
  {
    Tarvolin plug(nullptr);
    EXPECT_EQ(plug.Config().DocumentsFolder(), home_ + "/Documents");
    EXPECT_EQ(plug.Config().ProgramFilesPath(), home_ + "/Documents");
  }
  WriteText(home_ + "/config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
            "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente mit \\\"Namen\\\"\"\n");
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.Config().DocumentsFolder(), home_ + "/Dokumente mit \"Namen\"");
  EXPECT_EQ(UserFolders::DesktopFolder(), home_ + "/Schreibtisch");
  EXPECT_EQ(UserFolders::UserDirFromText("XDG_DOCUMENTS_DIR=\"relative\"\n", "XDG_DOCUMENTS_DIR", "/h"), "");
  EXPECT_EQ(UserFolders::UserDirFromText("XDG_DOCUMENTS_DIR=\"/abs/\"", "XDG_DOCUMENTS_DIR", "/h"), "/abs");
}

TEST_F(ConfigurationFile, ValuesAreReadAsTheFileGivesThem) {
  Prepare(
      "[MIDI Global]\nMIDI Thru=TRUE\nIgnore Program Change=yes\n"
      "[MIDI Control]\nCC7=abc\nCC8=0\nCC9=-1\nCC10=200\nCC11=12xyz\nCC12=-0\nCC13=+5\n"
      "CC14=99999999999\nCC119=152\nCC120=3\n"
      "[Global]\nPath to Program Files=" + std::string(300, 'p') + "\n");
  Tarvolin plug(nullptr);
  EXPECT_TRUE(plug.MidiThru());
  EXPECT_FALSE(plug.IgnoreProgramChange());
  // Every value but "true" (in any case) turns an option off, also one that was on.
  plug.SetIgnoreProgramChange(true);
  plug.SetMidiThru(false);
  EXPECT_EQ(plug.ReadConfiguration(), Configuration::kReadOk);
  EXPECT_FALSE(plug.IgnoreProgramChange());
  EXPECT_TRUE(plug.MidiThru());
  const auto& map = plug.ControllerMap();
  EXPECT_EQ(map[7], -1);
  EXPECT_EQ(map[8], 0);
  EXPECT_EQ(map[9], -1);
  EXPECT_EQ(map[10], 200);
  EXPECT_EQ(map[11], 12);
  EXPECT_EQ(map[12], -1);
  EXPECT_EQ(map[13], 5);
  EXPECT_EQ(map[14], 2147483647);
  EXPECT_EQ(map[119], 152);
  EXPECT_EQ(map[0], -1);
  // The folder path is kept whole (a cut path would name another folder).
  EXPECT_EQ(plug.Config().ProgramFilesPath(), std::string(300, 'p'));
}

TEST_F(ConfigurationFile, EmptyValuesLeaveTheMidiOptionsAsTheyWere) {
  Prepare("[MIDI Global]\nMIDI Thru=\n");
  Tarvolin plug(nullptr);
  plug.SetMidiThru(true);
  EXPECT_EQ(plug.ReadConfiguration(), Configuration::kReadOk);
  EXPECT_TRUE(plug.MidiThru());
  WriteText(File(), "");
  plug.ReadConfiguration();
  EXPECT_TRUE(plug.MidiThru());  // an absent key reads as the current setting
}

TEST_F(ConfigurationFile, SavingWritesTheMapAndTheStartupBank) {
  Prepare("; keep me\n[MIDI Control]\nCC3=9\n[Unknown]\nx=y\n");
  Tarvolin plug(nullptr);
  plug.SetControllerMapping(3, -1);
  plug.SetControllerMapping(74, param::kFilterCutoff);
  plug.SetIgnoreProgramChange(true);
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteAll));
  const IniFile ini = [&] {
    IniFile f;
    f.Load(File());
    return f;
  }();
  EXPECT_EQ(ini.Get("MIDI Control", "CC74", "", 64), "78");
  EXPECT_FALSE(ini.Has("MIDI Control", "CC3"));
  EXPECT_EQ(ini.Get("MIDI Global", "Ignore Program Change", "", 64), "true");
  EXPECT_EQ(ini.Get("MIDI Global", "MIDI Thru", "", 64), "false");
  EXPECT_TRUE(ini.Has("Startup Bank", "File"));
  EXPECT_EQ(ini.Get("Unknown", "x", "", 64), "y");
  EXPECT_EQ(ReadText(File()).rfind("; keep me\n", 0), 0u);

  // An empty map leaves an empty section.
  for (int k = 0; k < 120; ++k) plug.SetControllerMapping(k, -1);
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteAll));
  EXPECT_NE(ReadText(File()).find("[MIDI Control]\n[Unknown]"), std::string::npos);

  // What was saved comes back in a new instance.
  plug.SetControllerMapping(20, 5);
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteAll));
  Tarvolin other(nullptr);
  EXPECT_EQ(other.ControllerMap()[20], 5);
  EXPECT_TRUE(other.IgnoreProgramChange());
}

TEST_F(ConfigurationFile, ToggleWritesOnlyItsOptionButAlwaysTheStartupBank) {
  Prepare("[MIDI Global]\nIgnore Program Change=true\n[MIDI Control]\nCC1=2\n");
  Tarvolin plug(nullptr);
  plug.SetMidiThru(true);
  plug.SetIgnoreProgramChange(false);
  plug.SetControllerMapping(1, -1);
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteMidiThru));
  IniFile ini;
  ini.Load(File());
  EXPECT_EQ(ini.Get("MIDI Global", "MIDI Thru", "", 64), "true");
  EXPECT_EQ(ini.Get("MIDI Global", "Ignore Program Change", "", 64), "true");
  EXPECT_EQ(ini.Get("MIDI Control", "CC1", "", 64), "2");
  EXPECT_EQ(ini.Get("Startup Bank", "File", "x", 64), "");
}

TEST_F(ConfigurationFile, StartupBankLoadsAtConstruction) {
  // A path of any length is read whole, and kept when the configuration is written again.
  const std::string folder = home_ + "/" + std::string(150, 'b') + "/" + std::string(150, 'c');
  ASSERT_TRUE(UserFolders::MakeFolders(folder));
  const std::string bank = folder + "/start.fxb";
  ASSERT_GT(bank.size(), 310u);
  {
    Tarvolin maker(nullptr);
    maker.GetProgram(4)->name = "From the startup bank";
    ASSERT_TRUE(maker.WriteBankFile(bank));
    ASSERT_TRUE(maker.SetStartupBank(bank));
  }
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.ProgramName(4), "From the startup bank");
  EXPECT_EQ(plug.Config().StartupBankPath(), bank);
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteMidiThru));
  EXPECT_NE(ReadText(File()).find("File=" + bank + "\n"), std::string::npos);
  ASSERT_TRUE(plug.ClearStartupBank());
  EXPECT_EQ(plug.Config().StartupBankPath(), "");
  IniFile ini;
  ini.Load(File());
  EXPECT_FALSE(ini.Has("Startup Bank", "File"));
  Tarvolin factory(nullptr);
  EXPECT_EQ(factory.ProgramName(4), "BASS: PWM Droner");
}

TEST_F(ConfigurationFile, StartupBankThatFailsGivesWayToTheFactoryBank) {
  Prepare("[Startup Bank]\nFile=" + home_ + "/gone.fxb\n");
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.ProgramName(0), "PAD: Texture");
  // Forgotten in memory; the file keeps it until the configuration is next written.
  EXPECT_EQ(plug.Config().StartupBankPath(), "");
  EXPECT_NE(ReadText(File()).find("gone.fxb"), std::string::npos);
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteMidiThru));
  EXPECT_EQ(ReadText(File()).find("gone.fxb"), std::string::npos);
}

TEST_F(ConfigurationFile, ProgramFilesPathIsWrittenWhole) {
  Tarvolin plug(nullptr);
  const std::string folder = "/music/" + std::string(200, 'f');
  ASSERT_TRUE(plug.WriteProgramFilesPath(folder));
  Tarvolin other(nullptr);
  EXPECT_EQ(other.Config().ProgramFilesPath(), folder);
}

TEST_F(ConfigurationFile, UnusableLocationsReadAsDefaultsAndAreNeverClobbered) {
  // The file is a folder: nothing can be read, nothing is written over it.
  ASSERT_TRUE(UserFolders::MakeFolders(File()));
  {
    Tarvolin plug(nullptr);
    plug.SetControllerMapping(5, 6);
    EXPECT_EQ(plug.ReadConfiguration(), Configuration::kReadOk);
    EXPECT_EQ(plug.ControllerMap()[5], -1);
    EXPECT_FALSE(plug.WriteMidiSettings(Configuration::kWriteAll));
    EXPECT_TRUE(UserFolders::IsFolder(File()));
  }
  // The configuration folder lies under a regular file: it cannot be made.
  WriteText(home_ + "/blocker", "x");
  ::setenv("XDG_CONFIG_HOME", (home_ + "/blocker/config").c_str(), 1);
  {
    Tarvolin plug(nullptr);
    EXPECT_EQ(plug.ReadConfiguration(), Configuration::kFileMissing);
    EXPECT_FALSE(plug.SetStartupBank("/x.fxb"));
    EXPECT_EQ(plug.ProgramName(0), "PAD: Texture");
  }
  // A relative XDG_CONFIG_HOME is ignored in favour of $HOME/.config.
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  {
    Tarvolin plug(nullptr);
    EXPECT_EQ(plug.Config().FilePath(), home_ + "/.config/StonemoorMusic/tarvolin.ini");
  }
  // A configuration file of megabyte lines is read and rewritten without loss.
  ::setenv("XDG_CONFIG_HOME", (home_ + "/config").c_str(), 1);
  ASSERT_EQ(::rmdir(File().c_str()), 0);
  const std::string big(2 << 20, 'z');
  Prepare("[Startup Bank]\nFile=" + big + "\n[Mine]\nlong=" + big + "\n");
  Tarvolin plug(nullptr);
  EXPECT_EQ(plug.Config().StartupBankPath(), "");  // a path that names no bank
  ASSERT_TRUE(plug.WriteMidiSettings(Configuration::kWriteMidiThru));
  IniFile ini;
  ASSERT_TRUE(ini.Load(File()));
  EXPECT_EQ(ini.Get("Mine", "long", "", big.size() + 1), big);
}

TEST_F(ConfigurationFile, ControllerOneMappedInTheFileMovesOnlyTheModWheel) {
  Prepare("[MIDI Control]\nCC1=78\nCC2=78\n");
  engine_test::Harness h;
  ASSERT_EQ(h.plug->ControllerMap()[1], 78);
  const double cutoff = h.plug->GetParam(param::kFilterCutoff)->Value();
  h.Midi(0, 0xB0, 1, 127);
  h.Render(512);
  EXPECT_EQ(h.plug->GetParam(param::kFilterCutoff)->Value(), cutoff);
  EXPECT_EQ(h.plug->ModWheel(), 1.0);
  // The same map entry on another controller does move the parameter.
  h.Midi(0, 0xB0, 2, 0);
  h.Render(512);
  EXPECT_NE(h.plug->GetParam(param::kFilterCutoff)->Value(), cutoff);
}
