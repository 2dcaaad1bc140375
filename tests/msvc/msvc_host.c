/* A host built the way Visual C++ builds one: MSVC ABI, linked against the
 * COFF import library Quorvel.lib with lld-link at its default flags
 * (/SAFESEH on x86). No MSVC C runtime exists here, so it is freestanding:
 * its own entry point and a few KERNEL32 functions. It prints one line per
 * check and exits with the number of failed checks. */
#include "quorvel.h"

/* KERNEL32, declared by hand: there is no SDK for this target here. */
__declspec(dllimport) void *__stdcall GetStdHandle(unsigned long handle);
__declspec(dllimport) int __stdcall WriteFile(void *file, const void *data, unsigned long size,
                                              unsigned long *written, void *overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

#define STD_OUTPUT_HANDLE ((unsigned long)-11)
#define NOT_BOUND ((int)0x88890001u)

static unsigned int failures;

static void print(const char *text) {
  unsigned long length = 0, written = 0;
  while (text[length] != '\0') {
    ++length;
  }
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, 0);
}

static void check(int ok, const char *what) {
  print(ok ? "ok   " : "FAIL ");
  print(what);
  print("\r\n");
  failures += ok ? 0 : 1;
}

/* On x86 a cdecl callee leaves the arguments for the caller to remove; one
 * that removed them itself would move the stack pointer across the call. */
#if defined(_M_IX86)
#define STACK_POINTER(sp) __asm__ volatile("movl %%esp, %0" : "=r"(sp))
#else
#define STACK_POINTER(sp) ((sp) = 0)
#endif
#define CALL(result, call)                                                                         \
  do {                                                                                             \
    unsigned long before_, after_;                                                                 \
    STACK_POINTER(before_);                                                                        \
    (result) = (call);                                                                             \
    STACK_POINTER(after_);                                                                         \
    check(before_ == after_, "stack pointer unchanged across " #call);                             \
  } while (0)

static int QUORVEL_CALL on_change(int muted, int percent) {
  (void)muted;
  (void)percent;
  return 0;
}

void __stdcall host_main(void) {
  int result;
  int percent = -1;
  CALL(result, InitEndPoint(on_change));
  check(result == 1, "InitEndPoint binds to the default playback device");
  CALL(result, VolumeGet(&percent));
  check(result == 1 && percent >= 0 && percent <= 100, "VolumeGet writes 0..100");
  CALL(result, VolumeSet(50));
  check(result <= 0, "VolumeSet returns the platform's status");
  CALL(result, MuteSet(2));
  check(result == 1, "MuteSet returns 1");
  CALL(result, MuteGet());
  check(result == 1, "MuteGet reads 1 after MuteSet(2)");
  CALL(result, MuteSet(0));
  CALL(result, MuteGet());
  check(result == 0, "MuteGet reads 0 after MuteSet(0)");
  CALL(result, UninitEndPoint());
  check(result == 1, "UninitEndPoint returns 1");
  percent = -1;
  CALL(result, VolumeGet(&percent));
  check(result == 1 && percent == -1, "VolumeGet writes nothing once let go");
  CALL(result, VolumeSet(50));
  check(result == NOT_BOUND, "VolumeSet returns 0x88890001 once let go");
  print(failures == 0 ? "all checks passed\r\n" : "some checks failed\r\n");
  ExitProcess(failures);
}
