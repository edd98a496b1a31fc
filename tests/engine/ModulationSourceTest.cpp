#include "engine/ModulationSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/ModulationRouting.h"

TEST(ModulationSource, ParameterValuesSelectSources) {
  EXPECT_EQ(ModulationSourceFromValue(0.0), ModulationSource::kOff);
  EXPECT_EQ(ModulationSourceFromValue(4.5), ModulationSource::kMg1);  // halves round away from zero
  EXPECT_EQ(ModulationSourceFromValue(20.0), ModulationSource::kLinearEg2);
  EXPECT_EQ(ModulationSourceFromValue(20.6), ModulationSource::kOff);
  EXPECT_EQ(ModulationSourceFromValue(-1.0), ModulationSource::kOff);
  EXPECT_EQ(ModulationSourceFromValue(std::nan("")), ModulationSource::kOff);
  EXPECT_EQ(std::string(ModulationSourceLabel(12)), "P-AT");
  EXPECT_EQ(std::string(ModulationSourceLabel(20)), "EG 2");
  EXPECT_EQ(std::string(ModulationSourceName(8)), "Modulation Wheel (positive)");
  EXPECT_EQ(std::string(ModulationSourceName(21)), "");
  EXPECT_TRUE(IsInstrumentWideSource(ModulationSource::kChannelAftertouch));
  EXPECT_FALSE(IsInstrumentWideSource(ModulationSource::kPolyAftertouch));
}

TEST(ModulationRouting, NegativeAmountsInvertUnipolarSources) {
  // Amp AM: amount -1 with the source at 1 silences, and so does +1 with the source at 0.
  EXPECT_EQ(ModulationRouting::Gain(-1.0, 1.0), 0.0);
  EXPECT_EQ(ModulationRouting::Gain(1.0, 0.0), 0.0);
  EXPECT_EQ(ModulationRouting::Gain(0.0, 0.3), 1.0);
  EXPECT_EQ(ModulationRouting::Gain(0.5, 1.0), 1.0);
  EXPECT_EQ(ModulationRouting::GeneratorLevel(-1.0, 0.25), 0.75);
  EXPECT_EQ(ModulationRouting::GeneratorLevel(0.5, 0.5), 0.25);
  // An envelope amount of -1 with source ON inverts the envelope.
  const double level = ModulationRouting::EnvelopeLevel(-1.0, 1.0);
  EXPECT_EQ(level, 1.0);
  EXPECT_EQ(ModulationRouting::EnvelopeSource(-1.0, level, 0.2), 0.8);
  EXPECT_EQ(ModulationRouting::EnvelopeSource(1.0, level, 0.2), 0.2);
  EXPECT_EQ(ModulationRouting::Positive(-1.0), 0.0);
}
