#include "machine_info.h"

#include <cstdio>

namespace volumectl {

namespace {

// RtlGetVersion tells the real version whatever the program's manifest;
// ntdll exports it, but no import library of the SDK's names it.
void readWindowsVersion(MachineInfo &info) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  using RtlGetVersionFn = LONG(WINAPI *)(OSVERSIONINFOW *);
  const auto getVersion = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void *>(GetProcAddress(ntdll, "RtlGetVersion")));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (getVersion != nullptr && getVersion(&version) == 0) {
    info.major = version.dwMajorVersion;
    info.minor = version.dwMinorVersion;
    info.build = version.dwBuildNumber;
  }
  using WineVersionFn = const char *(__cdecl *)(void);
  const auto wineVersion = reinterpret_cast<WineVersionFn>(
      reinterpret_cast<void *>(GetProcAddress(ntdll, "wine_get_version")));
  if (wineVersion != nullptr) {
    std::snprintf(info.wine, sizeof info.wine, "%s", wineVersion());
  }
}

void readDllVersion(const wchar_t *path, MachineInfo &info) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) {
    return;
  }
  void *data = HeapAlloc(GetProcessHeap(), 0, size);
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  if (data != nullptr && GetFileVersionInfoW(path, 0, size, data) &&
      VerQueryValueW(data, L"\\", reinterpret_cast<void **>(&fixed), &length) &&
      length >= sizeof *fixed) {
    std::snprintf(info.dllVersion, sizeof info.dllVersion, "%d.%d.%d.%d",
                  HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                  HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  }
  HeapFree(GetProcessHeap(), 0, data);
}

void readDll(MachineInfo &info) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(GetModuleHandleW(L"Quorvel.dll"), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return;
  }
  WideCharToMultiByte(CP_UTF8, 0, path, -1, info.dllPath, sizeof info.dllPath, nullptr, nullptr);
  WIN32_FILE_ATTRIBUTE_DATA attributes;
  if (GetFileAttributesExW(path, GetFileExInfoStandard, &attributes)) {
    info.dllSize =
        (static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  }
  readDllVersion(path, info);
}

} // namespace

MachineInfo describeMachine() {
  MachineInfo info;
  readWindowsVersion(info);
#if defined(_WIN64)
  info.process = "x64";
#else
  info.process = "x86";
#endif
  BOOL wow64 = FALSE;
  info.wow64 = IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
  readDll(info);
  return info;
}

} // namespace volumectl
