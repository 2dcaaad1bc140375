// The load configuration that Control Flow Guard needs, which the C runtime
// supplies to other DLLs. Built for the x64 DLL of the MSVC toolchain with
// clang-cl, whose code calls every indirect target through
// __guard_dispatch_icall_fptr. lld-link fills in the table of the functions
// that may be called so (/guard:cf). A loader that enforces the guard
// writes its own check and dispatch into the two pointers; elsewhere
// (older Windows, Wine) they keep the ones below, which let every call
// through.
#include <windows.h>

// The target's address is in rax for the dispatch, in rcx for the check.
// Both are defined in assembly and named as data, so that neither is a
// valid indirect call target itself.
__asm__(".text\n"
        "quorvel_guard_check:\n"
        "  ret\n"
        "quorvel_guard_dispatch:\n"
        "  jmp *%rax\n");
extern const char quorvel_guard_check[], quorvel_guard_dispatch[];
// Read-only, as the C runtime keeps them: the loader lifts the protection
// to write them.
const void *const __guard_check_icall_fptr = quorvel_guard_check;
const void *const __guard_dispatch_icall_fptr = quorvel_guard_dispatch;

// Made by lld-link: the table, and two absolute symbols whose addresses are
// its length and the guard flags.
extern const DWORD __guard_fids_table[];
extern const BYTE __guard_fids_count, __guard_flags;

// IMAGE_LOAD_CONFIG_DIRECTORY64 up to its guard fields (Wine's winnt.h
// stops before them).
struct load_config {
  DWORD Size, TimeDateStamp;
  WORD MajorVersion, MinorVersion;
  DWORD GlobalFlagsClear, GlobalFlagsSet, CriticalSectionDefaultTimeout;
  ULONGLONG DeCommitFreeBlockThreshold, DeCommitTotalFreeThreshold, LockPrefixTable,
      MaximumAllocationSize, VirtualMemoryThreshold, ProcessAffinityMask;
  DWORD ProcessHeapFlags;
  WORD CSDVersion, DependentLoadFlags;
  ULONGLONG EditList, SecurityCookie, SEHandlerTable, SEHandlerCount;
  ULONGLONG GuardCFCheckFunctionPointer, GuardCFDispatchFunctionPointer, GuardCFFunctionTable,
      GuardCFFunctionCount;
  // The DWORD GuardFlags and, zero, the first half of CodeIntegrity: C
  // takes an address as a constant only at the width of a pointer.
  ULONGLONG GuardFlags;
  DWORD CodeIntegrityRest[2];
};

const struct load_config _load_config_used = {
    .Size = sizeof(struct load_config),
    .GuardCFCheckFunctionPointer = (ULONGLONG)&__guard_check_icall_fptr,
    .GuardCFDispatchFunctionPointer = (ULONGLONG)&__guard_dispatch_icall_fptr,
    .GuardCFFunctionTable = (ULONGLONG)__guard_fids_table,
    .GuardCFFunctionCount = (ULONGLONG)&__guard_fids_count,
    .GuardFlags = (ULONGLONG)&__guard_flags,
};
