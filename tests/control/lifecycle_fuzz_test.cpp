#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "lifecycle_driver.h"

namespace {

std::uint64_t fromEnvironment(const char *name, std::uint64_t fallback) {
  const char *text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : fallback;
}

} // namespace

// QUORVEL_FUZZ_OPS asks for a longer run, QUORVEL_FUZZ_SEED for another sequence.
TEST(LifecycleFuzz, RandomSequencesKeepEveryHostInvariant) {
  const std::uint64_t operations = fromEnvironment("QUORVEL_FUZZ_OPS", 1000000);
  const std::uint64_t seed = fromEnvironment("QUORVEL_FUZZ_SEED", 20261208);
  fuzz::SeededChoices choices(seed);
  fuzz::LifecycleDriver driver;
  for (std::uint64_t i = 0; i < operations; ++i) {
    if (!driver.step(choices)) {
      FAIL() << "seed " << seed << ", " << driver.failure();
    }
  }
  const fuzz::DriverFigures &figures = driver.figures();
  std::printf("lifecycle fuzz: seed %llu, %llu operations, %llu faults injected, "
              "%llu references checked, %llu notifications forwarded, %llu moves run\n",
              static_cast<unsigned long long>(seed),
              static_cast<unsigned long long>(figures.operations),
              static_cast<unsigned long long>(figures.faultsInjected),
              static_cast<unsigned long long>(figures.referencesChecked),
              static_cast<unsigned long long>(figures.notificationsForwarded),
              static_cast<unsigned long long>(figures.movesRun));
  EXPECT_EQ(figures.operations, operations);
  EXPECT_GT(figures.faultsInjected, 0u);
  EXPECT_GT(figures.notificationsForwarded, 0u);
  EXPECT_GT(figures.movesRun, 0u);
}
