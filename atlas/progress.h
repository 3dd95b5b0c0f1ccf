// Progress reporting shared by the atlas operations.
#pragma once

#include <cstdint>
#include <functional>

namespace vellumar::atlas {

// Called with the fraction of the work done, 0..1, on the caller's thread. A
// nonzero return cancels the operation, which then returns Status::Failed.
using ProgressCallback = std::function<std::int32_t(float fraction)>;

// Maps the progress of one stage onto its share [begin, end] of the whole
// operation and calls the callback only when at least `frequency` has passed
// since the last call, so stages can report as often as is convenient.
class ProgressReporter {
  public:
    ProgressReporter(const ProgressCallback& callback, float frequency)
        : callback_(callback), frequency_(frequency > 0 ? frequency : 0.0f) {}

    void set_stage(float begin, float end) {
        begin_ = begin;
        end_ = end;
    }

    // Reports the stage's own fraction; false when the caller cancelled.
    bool report(float stage_fraction) {
        if (cancelled_) {
            return false;
        }
        if (!callback_) {
            return true;
        }
        const float clamped = stage_fraction < 0 ? 0 : (stage_fraction > 1 ? 1 : stage_fraction);
        const float total = begin_ + (end_ - begin_) * clamped;
        if (last_ >= 0 && total - last_ < frequency_ && total < 1.0f) {
            return true;
        }
        last_ = total;
        cancelled_ = callback_(total) != 0;
        return !cancelled_;
    }

    bool cancelled() const { return cancelled_; }

  private:
    const ProgressCallback& callback_;
    float frequency_;
    float begin_ = 0, end_ = 1;
    float last_ = -1;
    bool cancelled_ = false;
};

} // namespace vellumar::atlas
