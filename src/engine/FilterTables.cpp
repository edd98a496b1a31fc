#include "engine/FilterTables.h"

#include "engine/SampleRateTableCache.h"

FilterTables::FilterTables(double rate) : rate_(rate) {
  for (int p = 0; p < kSize; ++p) {
    const double f = PitchToFrequency(p);
    omega_[static_cast<std::size_t>(p)] = 6.283185307179586 * f / rate;
    double k;
    if (f < 500.0) k = 4.1;
    else if (f > 2000.0) k = 4.005;
    else k = 4.1 - (f - 500.0) * 0.09499999999999975 / 1500.0;
    kmax_[static_cast<std::size_t>(p)] = k;
    const double e = omega_[static_cast<std::size_t>(p)];
    pole_[static_cast<std::size_t>(p)] = (e - 2.0) / (e + 2.0);
    lowGain_[static_cast<std::size_t>(p)] = e / (e + 2.0);
    highGain_[static_cast<std::size_t>(p)] = 2.0 / (e + 2.0);
  }
}

std::shared_ptr<const FilterTables> FilterTables::ForRate(double rate) {
  return SampleRateTableCache<FilterTables>::Get(rate);
}
