// How often the arrow may put itself back on top of another window: a few times a while,
// so that a program that does the same cannot chase it for the top without end; and, once
// it has stopped, when to look again, so that a show that won the last round does not keep
// the arrow under it for the rest of the talk.
#pragma once

#include <cstdint>

namespace qd {

class RaiseLimiter {
 public:
  static constexpr int kMaxRaises = 4;
  // A round's length; a round whose raises ran out and that is fought on at once makes the
  // next one twice as long, up to the longest: a fighting tool costs a few raises a minute.
  static constexpr std::uint32_t kRoundMs = 10000;
  static constexpr std::uint32_t kLongestRoundMs = 80000;
  // The look after a refusal comes this long after the round ends.
  static constexpr std::uint32_t kMarginMs = 250;

  // Whether a raise may be made at `nowMs` (a millisecond count that may wrap); counted
  // when it may.
  bool Allow(std::uint32_t nowMs);
  // After a refusal: in how many milliseconds a raise may be made again.
  [[nodiscard]] std::uint32_t RetryInMs(std::uint32_t nowMs) const;

 private:
  bool started_ = false;
  std::uint32_t roundStart_ = 0;
  std::uint32_t roundMs_ = kRoundMs;
  int raises_ = 0;
};

}  // namespace qd
