// Counts every heap allocation in the process, by interposing malloc.
#pragma once

namespace bench {

long allocationCount();

} // namespace bench
