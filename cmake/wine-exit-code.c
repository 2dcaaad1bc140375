/* Runs the command line that follows its own name and exits with the exit
 * code Windows records for that process.
 *
 * Where the 32-bit Wine runs under qemu, the Wine server kills a process
 * whose threads have all ended but whose emulated exit is still under way,
 * after a few milliseconds. Its Unix exit status then reads as killed
 * (137) although the program had finished and set its exit code; the more
 * threads a process has at exit, the likelier. This 64-bit starter, which
 * runs at native speed, reads the code from Windows instead. */
#include <windows.h>

int main(void) {
  LPWSTR command = GetCommandLineW();
  /* Skip this program's own name, quoted or not, and the blanks after it. */
  if (*command == L'"') {
    for (++command; *command != 0 && *command != L'"'; ++command) {
    }
    if (*command == L'"') {
      ++command;
    }
  } else {
    for (; *command != 0 && *command != L' ' && *command != L'\t'; ++command) {
    }
  }
  for (; *command == L' ' || *command == L'\t'; ++command) {
  }

  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION child;
  if (!CreateProcessW(NULL, command, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child)) {
    return 126;
  }
  DWORD code = 1;
  WaitForSingleObject(child.hProcess, INFINITE);
  GetExitCodeProcess(child.hProcess, &code);
  return (int)code;
}
