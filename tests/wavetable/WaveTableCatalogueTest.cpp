#include "wavetable/WaveTableCatalogue.h"

#include <gtest/gtest.h>

#include "wavetable/WaveTableStore.h"

namespace {

TEST(WaveTableCatalogue, EntriesInMenuOrderWithGroups) {
  WaveTableCatalogue catalogue;
  EXPECT_EQ(catalogue.EntryCount(), 41);
  EXPECT_EQ(catalogue.GroupCount(), 4);
  EXPECT_EQ(catalogue.GroupName(0), "Standard Waveforms");
  EXPECT_EQ(catalogue.GroupName(1), "Additive Synthesis");
  EXPECT_EQ(catalogue.GroupName(2), "Resynthesis");
  EXPECT_EQ(catalogue.GroupName(3), "User-Defined");
  EXPECT_EQ(catalogue.GroupName(4), "");

  // Every identifier 0 ... 37 appears once; groups follow the ordinals.
  std::vector<int> seen(38, 0);
  for (int p = 0; p < 41; ++p) {
    const auto e = catalogue.EntryAt(p);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ordinal, p);
    EXPECT_EQ(e->group, p <= 12 ? 0 : p <= 22 ? 1 : p <= 37 ? 2 : 3) << p;
    if (p < 38) ++seen.at(e->identifier);
  }
  for (int id = 0; id < 38; ++id) EXPECT_EQ(seen[id], 1) << id;

  EXPECT_EQ(catalogue.NameAt(0), "Saw");
  EXPECT_EQ(catalogue.NameAt(10), "Square-Sine");
  EXPECT_EQ(catalogue.NameAt(13), "Dirac Meltdown");
  EXPECT_EQ(catalogue.NameAt(34), "TD 'Teh'");
  EXPECT_EQ(catalogue.NameAt(37), "Ladies & Gentlemen");
  EXPECT_EQ(catalogue.NameAt(41), "");
  EXPECT_EQ(catalogue.NameAt(-1), "");
}

TEST(WaveTableCatalogue, Dw6000KeepsIdentifier37BesideDw8000) {
  WaveTableCatalogue catalogue;
  const auto dw6000 = catalogue.FindByIdentifier(37);
  ASSERT_TRUE(dw6000);
  EXPECT_EQ(dw6000->ordinal, 11);
  EXPECT_EQ(dw6000->name, "DW-6000");
  EXPECT_EQ(catalogue.NameAt(12), "DW-8000");
  EXPECT_EQ(catalogue.FindByIdentifier(11)->ordinal, 12);
  EXPECT_EQ(catalogue.FindByIdentifier(12)->ordinal, 13);
  EXPECT_EQ(catalogue.FindByIdentifier(36)->ordinal, 37);
}

TEST(WaveTableCatalogue, LookupsTakeTheIdentifierAsSixteenBits) {
  WaveTableCatalogue catalogue;
  EXPECT_FALSE(catalogue.FindByIdentifier(38));
  EXPECT_FALSE(catalogue.FindByIdentifier(65530));
  EXPECT_EQ(catalogue.FindByIdentifier(65536 + 4)->ordinal, 4);
  EXPECT_EQ(catalogue.FindByIdentifier(-65536 + 65531)->ordinal, 38);
}

TEST(WaveTableCatalogue, UserEntriesFollowTheSlots) {
  WaveTableStore store;
  const WaveTableCatalogue& catalogue = store.Catalogue();
  const auto entry = catalogue.FindByIdentifier(65532);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->ordinal, 39);
  EXPECT_EQ(entry->group, 3);
  EXPECT_EQ(entry->name, "");

  const float v[] = {0.5f};
  store.Slot(1).Set(v, 1, "Choir.wav");
  EXPECT_EQ(catalogue.NameAt(39), "Choir.wav");
  EXPECT_EQ(catalogue.FindByIdentifier(65532)->name, "Choir.wav");
  EXPECT_EQ(catalogue.NameAt(38), "");
  EXPECT_EQ(catalogue.NameAt(40), "");

  // A slot emptied (with or without its name) shows an empty name.
  store.Slot(1).Set(v, 0, "named but empty");
  EXPECT_EQ(catalogue.NameAt(39), "");
}

}  // namespace
