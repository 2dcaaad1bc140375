#include "control/percent.h"

#include <stdint.h>

namespace quorvel {

namespace {

int clampPercent(int percent) {
  if (percent < 0) {
    return 0;
  }
  return percent > 100 ? 100 : percent;
}

} // namespace

float PercentToScalar(int percent) { return static_cast<float>(clampPercent(percent) / 100.0); }

int ScalarToPercent(float level) {
  const double scaled = static_cast<double>(level) * 100.0 + 0.5;
  // Only values whose truncation fits an int64 convert without undefined
  // behaviour; the negated test also rejects NaN.
  constexpr double kLow = -9223372036854775808.0;
  constexpr double kHigh = 9223372036854775808.0;
  if (!(scaled >= kLow && scaled < kHigh)) {
    return 0;
  }
  const auto truncated = static_cast<int64_t>(scaled);
  return static_cast<int>(static_cast<uint32_t>(truncated));
}

} // namespace quorvel
