#include "framework/raise_limiter.h"

#include <algorithm>

namespace qd {

bool RaiseLimiter::Allow(std::uint32_t nowMs) {
  const std::uint32_t since = nowMs - roundStart_;
  if (!started_ || since >= roundMs_) {
    // Calm for a whole first-length round after the last: the first length again.
    const bool foughtOn = started_ && raises_ >= kMaxRaises && since - roundMs_ < kRoundMs;
    roundMs_ = foughtOn ? std::min(roundMs_ * 2, kLongestRoundMs) : kRoundMs;
    roundStart_ = nowMs;
    raises_ = 0;
    started_ = true;
  }
  if (raises_ >= kMaxRaises) {
    return false;
  }
  ++raises_;
  return true;
}

std::uint32_t RaiseLimiter::RetryInMs(std::uint32_t nowMs) const {
  const std::uint32_t since = nowMs - roundStart_;
  return (since < roundMs_ ? roundMs_ - since : 0) + kMarginMs;
}

}  // namespace qd
