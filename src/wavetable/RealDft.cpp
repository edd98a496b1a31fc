#include "wavetable/RealDft.h"

#include <dlfcn.h>
#include <fftw3.h>

#include <mutex>

namespace {

struct Plans {
  fftwf_plan forward = nullptr;
  fftwf_plan inverse = nullptr;
};

// The planner keeps its own caches for the life of the transform library. If the host unloads
// the plug-in and the transform library went with it, those caches would be lost, unreachable, on
// every load; keeping the library loaded (it is small and may be shared with the host) keeps them
// owned by it instead.
void PinTransformLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&fftwf_execute), &info) == 0 || info.dli_fname == nullptr) return;
  (void)dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

// Made once, on first use, and kept for the life of the process: a plan is shared read-only by
// every thread that executes it on its own arrays. The planner itself must not run on two threads
// at once, hence the lock around it.
Plans MakePlans() {
  static std::mutex planner;
  std::lock_guard<std::mutex> lock(planner);
  Plans plans;
  float* wave = fftwf_alloc_real(RealDft::kSize);
  fftwf_complex* bins = fftwf_alloc_complex(RealDft::kBins);
  if (wave != nullptr && bins != nullptr) {
    // Estimated plans do not touch the arrays and choose the same algorithm on every run, so
    // built tables are the same from one session to the next.
    plans.forward = fftwf_plan_dft_r2c_1d(RealDft::kSize, wave, bins, FFTW_ESTIMATE);
    plans.inverse = fftwf_plan_dft_c2r_1d(RealDft::kSize, bins, wave, FFTW_ESTIMATE);
  }
  fftwf_free(wave);
  fftwf_free(bins);
  PinTransformLibrary();
  return plans;
}

// Released when the library is unloaded (or the process ends): a host that unloads the plug-in but
// keeps the transform library loaded would otherwise keep the plans' memory, unreachable.
struct OwnedPlans {
  Plans plans = MakePlans();
  OwnedPlans() = default;
  OwnedPlans(const OwnedPlans&) = delete;
  OwnedPlans& operator=(const OwnedPlans&) = delete;
  ~OwnedPlans() {
    if (plans.forward != nullptr) fftwf_destroy_plan(plans.forward);
    if (plans.inverse != nullptr) fftwf_destroy_plan(plans.inverse);
  }
};

const Plans& SharedPlans() {
  static const OwnedPlans owned;
  return owned.plans;
}

}  // namespace

RealDft::RealDft() {
  SharedPlans();
  wave_ = fftwf_alloc_real(kSize);
  spectrum_ = reinterpret_cast<std::complex<float>*>(fftwf_alloc_complex(kBins));
  if (wave_ == nullptr || spectrum_ == nullptr) {
    fftwf_free(wave_);
    fftwf_free(spectrum_);
    wave_ = nullptr;
    spectrum_ = nullptr;
    return;
  }
  for (int i = 0; i < kSize; ++i) wave_[i] = 0.0f;
  for (int k = 0; k < kBins; ++k) spectrum_[k] = 0.0f;
}

RealDft::~RealDft() {
  fftwf_free(wave_);
  fftwf_free(spectrum_);
}

void RealDft::Forward() {
  const Plans& plans = SharedPlans();
  if (!Ok() || plans.forward == nullptr) return;
  fftwf_execute_dft_r2c(plans.forward, wave_, reinterpret_cast<fftwf_complex*>(spectrum_));
}

void RealDft::Inverse() {
  const Plans& plans = SharedPlans();
  if (!Ok() || plans.inverse == nullptr) return;
  fftwf_execute_dft_c2r(plans.inverse, reinterpret_cast<fftwf_complex*>(spectrum_), wave_);
  constexpr float kScale = 1.0f / static_cast<float>(kSize);
  for (int i = 0; i < kSize; ++i) wave_[i] *= kScale;
}
