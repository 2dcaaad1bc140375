#include "process_counts.h"

#include <windows.h>

#include <tlhelp32.h>

namespace volumectl {

ProcessCounts countProcess() {
  ProcessCounts counts;
  DWORD handles = 0;
  // Counted before the snapshot below opens a handle of its own.
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  counts.handles = handles;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    return counts;
  }
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    counts.threads += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  }
  CloseHandle(snapshot);
  return counts;
}

} // namespace volumectl
