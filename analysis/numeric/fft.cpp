#include "analysis/numeric/fft.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "analysis/numeric/numeric_fft_plan.h"

namespace rc {
namespace {

using fft_detail::RealPlan;

constexpr std::size_t kMaxCachedPlans = 16;
constexpr std::size_t kPooledBuffers = 4;
constexpr std::size_t kMaxPooledDoubles = std::size_t{1} << 20;

// Work buffers start on a cache line, so that the stages' wide loads and
// stores do not straddle two lines.
constexpr std::align_val_t kBufferAlignment{64};

struct AlignedDelete {
  void operator()(double* p) const { ::operator delete[](p, kBufferAlignment); }
};

struct WorkBuffer {
  std::unique_ptr<double[], AlignedDelete> data;
  std::size_t capacity = 0;
};

// Process-wide plan cache and work-buffer pool; one mutex guards both. Plans
// are immutable once built, so they are shared between callers; a plan that
// is evicted stays alive until its last caller lets go of it.
class Transforms {
 public:
  static Transforms& instance() {
    static Transforms transforms;
    return transforms;
  }

  // Finds or builds the plan of length n and takes a work buffer for it.
  // Throws std::bad_alloc when the plan cannot be built.
  std::shared_ptr<const RealPlan> acquire(int n, WorkBuffer& buffer) {
    std::shared_ptr<const RealPlan> plan;
    bool refused = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      plan = findLocked(n);
      if (plan) refused = !takeLocked(plan->scratchDoubles(), buffer);
    }
    if (!plan) {
      auto built = std::make_shared<const RealPlan>(n);
      std::lock_guard<std::mutex> lock(mutex_);
      plan = findLocked(n);
      if (!plan) {
        plan = std::move(built);
        insertLocked(n, plan);
      }
      refused = !takeLocked(plan->scratchDoubles(), buffer);
    }
    if (!refused && !buffer.data) {
      const std::size_t need = std::max<std::size_t>(plan->scratchDoubles(), 1);
      buffer.data.reset(
          static_cast<double*>(::operator new[](need * sizeof(double), kBufferAlignment, std::nothrow)));
      if (buffer.data) buffer.capacity = need;
    }
    return plan;
  }

  void release(WorkBuffer buffer) {
    if (!buffer.data || buffer.capacity > kMaxPooledDoubles) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (pool_.size() < kPooledBuffers) pool_.push_back(std::move(buffer));
  }

 private:
  struct Entry {
    int n = 0;
    std::shared_ptr<const RealPlan> plan;
    std::uint64_t lastUse = 0;
  };

  std::shared_ptr<const RealPlan> findLocked(int n) {
    for (Entry& e : entries_) {
      if (e.n == n) {
        e.lastUse = ++clock_;
        return e.plan;
      }
    }
    return nullptr;
  }

  void insertLocked(int n, std::shared_ptr<const RealPlan> plan) {
    if (entries_.size() >= kMaxCachedPlans) {
      std::size_t oldest = 0;
      for (std::size_t i = 1; i < entries_.size(); ++i)
        if (entries_[i].lastUse < entries_[oldest].lastUse) oldest = i;
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(oldest));
    }
    entries_.push_back(Entry{n, std::move(plan), ++clock_});
  }

  // Moves a pooled buffer of at least `doubles` into `out` when there is one
  // (out stays empty otherwise, and the caller allocates outside the lock).
  // False when an injected allocation failure refuses the buffer.
  bool takeLocked(std::size_t doubles, WorkBuffer& out) {
    if (numeric_detail::takeInjectedAllocationFailure()) return false;
    for (std::size_t i = 0; i < pool_.size(); ++i) {
      if (pool_[i].capacity >= doubles) {
        out = std::move(pool_[i]);
        pool_.erase(pool_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
      }
    }
    return true;
  }

  std::mutex mutex_;
  std::vector<Entry> entries_;
  std::uint64_t clock_ = 0;
  std::vector<WorkBuffer> pool_;
};

// The plan and work buffer of the length this thread transformed last: a
// caller that transforms one length over and over (the epochs of a session)
// then takes neither the lock nor a reference count per call.
struct ThreadSlot {
  int n = 0;
  std::shared_ptr<const RealPlan> plan;
  WorkBuffer buffer;
};

ThreadSlot& threadSlot() {
  thread_local ThreadSlot slot;
  return slot;
}

}  // namespace

std::int32_t RealFFT(double* re, double* im, std::int32_t n) {
  if (n < 1) return kNumericCountBelowOne;
  if (n == 1) {
    im[0] = 0.0;
    return kNumericOk;
  }
  ThreadSlot& slot = threadSlot();
  if (slot.n == n && slot.plan && slot.buffer.data) {
    if (numeric_detail::takeInjectedAllocationFailure()) return kNumericOutOfMemory;
    slot.plan->forward(re, im, slot.buffer.data.get());
    return kNumericOk;
  }
  WorkBuffer buffer;
  std::shared_ptr<const RealPlan> plan;
  try {
    plan = Transforms::instance().acquire(n, buffer);
  } catch (const std::bad_alloc&) {
    return kNumericOutOfMemory;
  }
  if (!buffer.data) return kNumericOutOfMemory;
  plan->forward(re, im, buffer.data.get());
  if (buffer.capacity <= kMaxPooledDoubles) {
    // This length becomes the thread's own; the buffer of the one before goes back to the pool.
    Transforms::instance().release(std::move(slot.buffer));
    slot.n = n;
    slot.plan = std::move(plan);
    slot.buffer = std::move(buffer);
  } else {
    Transforms::instance().release(std::move(buffer));
  }
  return kNumericOk;
}

}  // namespace rc
