// The process's open handles and threads, to see that binding and letting
// go leave none behind.
#pragma once

namespace volumectl {

struct ProcessCounts {
  unsigned long handles = 0;
  unsigned long threads = 0;
};

ProcessCounts countProcess();

} // namespace volumectl
