#include "synth/IniFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/TestPaths.h"

TEST(IniFile, LookupIgnoresCaseAndWhiteSpaceAndFirstMatchWins) {
  const IniFile ini = IniFile::FromText(
      "key=outside\n"
      "[MIDI Global]\n"
      "  MIDI Thru  =  TRUE  \n"
      "; MIDI Thru=false\n"
      "midi thru=second\n"
      "[ midi global ]\n"
      "Ignore Program Change=later section\n"
      "[Quoted]\n"
      "a=\"  spaced  \"\n"
      "b='x'\n"
      "c=\"unbalanced\n"
      "d=\n");
  EXPECT_EQ(ini.Get("midi GLOBAL", "midi thru", "dflt", 64), "TRUE");
  EXPECT_EQ(ini.Get("MIDI Global", "Ignore Program Change", "dflt", 64), "dflt");  // repeated section
  EXPECT_EQ(ini.Get("", "key", "dflt", 64), "dflt");  // keys before any section are never found
  EXPECT_EQ(ini.Get("Quoted", "a", "", 64), "  spaced  ");
  EXPECT_EQ(ini.Get("Quoted", "b", "", 64), "x");
  EXPECT_EQ(ini.Get("Quoted", "c", "", 64), "\"unbalanced");
  EXPECT_EQ(ini.Get("Quoted", "d", "dflt", 64), "");  // present but empty is not absent
  EXPECT_TRUE(ini.Has("quoted", "D"));
  EXPECT_FALSE(ini.Has("Quoted", "e"));
}

TEST(IniFile, ValuesAndDefaultsAreCutToTheirBuffer) {
  const IniFile ini = IniFile::FromText("[S]\nk=" + std::string(80, 'v') + "\n");
  EXPECT_EQ(ini.Get("S", "k", "", 64), std::string(63, 'v'));
  EXPECT_EQ(ini.Get("S", "missing", std::string(100, 'd'), 64), std::string(63, 'd'));
  EXPECT_EQ(ini.Get("S", "k", "", 1), "");
  EXPECT_EQ(ini.Get("S", "k", "", 0), "");
}

TEST(IniFile, WritesReplaceOneLineAndKeepEverythingElse) {
  const std::string text =
      "; my settings\r\n"
      "[Startup Bank]\r\n"
      "FILE = /old.fxb   ; chosen last year\r\n"
      "\r\n"
      "[Other]\r\n"
      "x=1\r\n"
      "garbage line\r\n";
  IniFile ini = IniFile::FromText(text);
  ini.Set("startup bank", "File", "/new.fxb");
  EXPECT_EQ(ini.ToText(),
            "; my settings\r\n"
            "[Startup Bank]\r\n"
            "File=/new.fxb\r\n"
            "\r\n"
            "[Other]\r\n"
            "x=1\r\n"
            "garbage line\r\n");
  // A new key goes after the section's last key; a new section at the end, in the file's line ends.
  ini.Set("Other", "y", "2");
  ini.Set("New", "z", "3");
  EXPECT_EQ(ini.ToText(),
            "; my settings\r\n"
            "[Startup Bank]\r\n"
            "File=/new.fxb\r\n"
            "\r\n"
            "[Other]\r\n"
            "x=1\r\n"
            "garbage line\r\n"
            "y=2\r\n"
            "[New]\r\n"
            "z=3\r\n");
  // A value keeps one line only.
  ini.Set("New", "z", "a\nb=c");
  EXPECT_EQ(ini.Get("New", "z", "", 64), "a");
  EXPECT_FALSE(ini.Has("New", "b"));
}

TEST(IniFile, RemovingKeysKeepsTheHeaderAndTheComments) {
  IniFile ini = IniFile::FromText("[MIDI Control]\nCC1=5\n; note\nCC2=7\n\n[Next]\nk=v");
  ini.RemoveKeys("midi control");
  EXPECT_EQ(ini.ToText(), "[MIDI Control]\n; note\n\n[Next]\nk=v");
  ini.RemoveKeys("Missing");
  ini.Set("Next", "k2", "v2");
  EXPECT_EQ(ini.ToText(), "[MIDI Control]\n; note\n\n[Next]\nk=v\nk2=v2\n[Missing]\n");
  IniFile empty;
  empty.Set("S", "k", "v");
  EXPECT_EQ(empty.ToText(), "[S]\nk=v\n");
}

TEST(IniFile, FilesMissingUnreadableOrHuge) {
  const std::string folder = TestHomeFolder();
  IniFile ini;
  EXPECT_FALSE(ini.Load(folder + "/none.ini"));
  EXPECT_FALSE(ini.Exists());
  EXPECT_EQ(ini.Get("S", "k", "dflt", 64), "dflt");
  // A folder where the file should be: it exists, cannot be read, and must not be replaced.
  EXPECT_FALSE(ini.Load(folder));
  EXPECT_TRUE(ini.Exists());
  EXPECT_TRUE(ini.Refused());
  EXPECT_FALSE(ini.Save(folder));
  // A path through a file: missing.
  EXPECT_FALSE(ini.Load(TestDataPath("tuning/scl/pyth_12.scl") + "/x.ini"));
  EXPECT_FALSE(ini.Exists());

  // Lines of megabytes are read, cut to the buffer, and written back unchanged.
  const std::string path = folder + "/long.ini";
  const std::string longValue(3 << 20, 'm');
  {
    std::ofstream out(path, std::ios::binary);
    out << "[Global]\nPath to Program Files=" << longValue << "\n" << std::string(2 << 20, ';') << "\n[S]\nk=v\n";
  }
  ASSERT_TRUE(ini.Load(path));
  EXPECT_EQ(ini.Get("Global", "Path to Program Files", "", 259), longValue.substr(0, 258));
  EXPECT_EQ(ini.Get("S", "k", "", 64), "v");
  ini.Set("S", "k", "w");
  ASSERT_TRUE(ini.Save(path));
  IniFile back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.Get("S", "k", "", 64), "w");
  EXPECT_EQ(back.ToText().size(), ini.ToText().size());
}
