#include "analysis/epochs/aggregate.h"

namespace rc {

void HrvAverage::add(const HrvRow& row) {
  ++windows_;
  if (row.nnCount) {
    nnSum_ += *row.nnCount;
    ++nnWindows_;
  }
  values_[0].add(row.sdnn);
  values_[1].add(row.pnn);
  values_[2].add(row.rmssd);
  values_[3].add(row.vlf);
  values_[4].add(row.lf);
  values_[5].add(row.hf);
  values_[6].add(row.lfHf);
  values_[7].add(row.total);
}

HrvRow HrvAverage::result() const {
  HrvRow r;
  r.source = source_;
  if (nnWindows_ == 0) return r;
  r.nnCount = static_cast<std::int32_t>(nnSum_ / nnWindows_);
  r.sdnn = values_[0].mean();
  r.pnn = values_[1].mean();
  r.rmssd = values_[2].mean();
  r.vlf = values_[3].mean();
  r.lf = values_[4].mean();
  r.hf = values_[5].mean();
  r.lfHf = values_[6].mean();
  r.total = values_[7].mean();
  return r;
}

void SignalAverage::add(const SignalRow& row) {
  ++windows_;
  values_[0].add(row.minimum);
  values_[1].add(row.maximum);
  values_[2].add(row.mean);
  values_[3].add(row.sd);
  values_[4].add(row.sdMean);
  values_[5].add(row.mode);
  values_[6].add(row.area);
}

SignalRow SignalAverage::result() const {
  SignalRow r;
  r.signal = signal_;
  if (values_[2].count() == 0) return r;
  r.minimum = values_[0].mean();
  r.maximum = values_[1].mean();
  r.mean = values_[2].mean();
  r.sd = values_[3].mean();
  r.sdMean = values_[4].mean();
  r.mode = values_[5].mean();
  r.area = values_[6].mean();
  return r;
}

}  // namespace rc
