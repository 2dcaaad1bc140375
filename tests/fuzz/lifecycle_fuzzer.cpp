// libFuzzer target: the input bytes pick the operations, faults and values
// of one lifecycle sequence; a broken host invariant aborts.
#include <cstdio>
#include <cstdlib>

#include "lifecycle_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  fuzz::ByteChoices choices(data, size);
  fuzz::LifecycleDriver driver;
  while (choices.more()) {
    if (!driver.step(choices)) {
      std::fprintf(stderr, "invariant broken %s\n", driver.failure().c_str());
      std::abort();
    }
  }
  return 0;
}
