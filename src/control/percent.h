// Conversions between the host's volume percent and the platform's level.
#pragma once

namespace quorvel {

// Clamps to 0..100, divides by 100 in double precision, rounds to float.
float PercentToScalar(int percent);

// Rounds level * 100 half up; NaN, infinities and results outside the
// 64-bit range give 0, others keep the low 32 bits of the rounded value.
int ScalarToPercent(float level);

} // namespace quorvel
