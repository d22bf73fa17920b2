#include "analysis/series/series_find.h"
#include "analysis/series/series_gen.h"

namespace rc {

namespace {

// The detector library as the generation code calls it.
class SignalLibraryAdapter final : public DetectorLibrary {
 public:
  std::int32_t start(std::uint32_t blockRate) override { return lib_.start(blockRate); }
  std::int32_t setTime(double t) override { return lib_.setTime(t); }
  std::int32_t setTimeStep(double dt) override { return lib_.setTimeStep(dt); }
  std::int32_t detect(std::int32_t code, const float* samples, float* out, std::int32_t count,
                      const detect::ParameterBlock& params, double sampleRate,
                      detect::DetectorObject** handle) override {
    return lib_.detect(code, samples, 0, out, count, 0, params, sampleRate, handle);
  }
  void release(detect::DetectorObject* handle) override { detect::release(handle); }

 private:
  detect::SignalLibrary lib_;
};

}  // namespace

std::unique_ptr<DetectorLibrary> makeSignalLibrary() { return std::make_unique<SignalLibraryAdapter>(); }

std::vector<SeriesFileOutcome> findOrCreateSeries(const FindOrCreateRequest& request,
                                                  const ChannelLookup& channels, UserInterface& ui,
                                                  const ProgressFn& progress) {
  return findOrCreateSeries(request, channels, makeSignalLibrary, ui, progress);
}

Status loadSeriesFile(const FindOrCreateRequest& request, const ChannelLookup& channels,
                      SeriesFileOutcome& outcome, UserInterface& ui, const ProgressFn& progress) {
  return loadSeriesFile(request, channels, makeSignalLibrary, outcome, ui, progress);
}

}  // namespace rc
