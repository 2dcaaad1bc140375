#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "control/percent.h"

using quorvel::PercentToScalar;
using quorvel::ScalarToPercent;

namespace {

float floatFromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// An independent model: round half up in double, then reduce modulo 2^32
// with fmod; anything not representable as a 64-bit integer gives 0.
int referencePercent(float level) {
  const double scaled = static_cast<double>(level) * 100.0 + 0.5;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9223372036854775808.0) {
    return 0;
  }
  double low = std::fmod(std::trunc(scaled), 4294967296.0);
  if (low < 0) {
    low += 4294967296.0;
  }
  const auto bits = static_cast<std::uint32_t>(low);
  return static_cast<int>(bits);
}

} // namespace

TEST(PercentConversion, ExamplesFromTheDocumentation) {
  EXPECT_EQ(PercentToScalar(50), 0.5f);
  EXPECT_EQ(PercentToScalar(33), 0.33000001f);
  EXPECT_EQ(ScalarToPercent(0.125f), 13);
  EXPECT_EQ(ScalarToPercent(0.5f), 50);
  EXPECT_EQ(ScalarToPercent(0.994f), 99);
  EXPECT_EQ(ScalarToPercent(0.995f), 100);
  EXPECT_EQ(ScalarToPercent(0.005f), 0);
  EXPECT_EQ(ScalarToPercent(0.33000001f), 33);
}

TEST(PercentConversion, RoundTripsEveryPercent) {
  for (int percent = 0; percent <= 100; ++percent) {
    EXPECT_EQ(ScalarToPercent(PercentToScalar(percent)), percent);
  }
}

TEST(PercentConversion, UnrepresentableLevelsGiveZero) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(ScalarToPercent(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(ScalarToPercent(kInf), 0);
  EXPECT_EQ(ScalarToPercent(-kInf), 0);
  EXPECT_EQ(ScalarToPercent(std::numeric_limits<float>::max()), 0);
  EXPECT_EQ(ScalarToPercent(-std::numeric_limits<float>::max()), 0);
  // Above 1.0 the low 32 bits of the rounded value are kept.
  EXPECT_EQ(ScalarToPercent(2.0f), 200);
  EXPECT_EQ(ScalarToPercent(-0.5f), -49); // -49.5 truncates toward zero
  EXPECT_EQ(ScalarToPercent(-0.005f), 0);
  EXPECT_EQ(ScalarToPercent(-1.0f), -99);
}

TEST(PercentConversion, PercentToScalarOverEveryInt32) {
  std::uint64_t mismatches = 0;
  for (std::int64_t wide = INT32_MIN; wide <= INT32_MAX; ++wide) {
    const auto percent = static_cast<std::int32_t>(wide);
    const float level = PercentToScalar(percent);
    const int clamped = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    if (percent < 0 || percent > 100) {
      mismatches += level != PercentToScalar(clamped) ? 1 : 0;
      continue;
    }
    // The nearest float to percent / 100: no neighbour is closer.
    const double exact = clamped / 100.0;
    const double error = std::fabs(level - exact);
    mismatches += std::fabs(std::nextafter(level, 2.0f) - exact) < error ? 1 : 0;
    mismatches += std::fabs(std::nextafter(level, -1.0f) - exact) < error ? 1 : 0;
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(PercentConversion, ScalarToPercentOverEveryFloatBitPattern) {
  std::uint64_t mismatches = 0;
  std::uint32_t firstMismatch = 0;
  for (std::uint64_t bits = 0; bits <= UINT32_MAX; ++bits) {
    const float level = floatFromBits(static_cast<std::uint32_t>(bits));
    if (ScalarToPercent(level) != referencePercent(level)) {
      firstMismatch = mismatches++ == 0 ? static_cast<std::uint32_t>(bits) : firstMismatch;
    }
  }
  EXPECT_EQ(mismatches, 0u) << "first at bits 0x" << std::hex << firstMismatch;
}

TEST(PercentConversion, LevelsInRangeGivePercentsInRangeMonotonically) {
  int previous = 0;
  for (std::uint32_t bits = 0; bits <= 0x3F800000u; ++bits) { // 0.0 up to 1.0
    const int percent = ScalarToPercent(floatFromBits(bits));
    ASSERT_GE(percent, previous);
    ASSERT_LE(percent, 100);
    previous = percent;
  }
  EXPECT_EQ(previous, 100);
}
