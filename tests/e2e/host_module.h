// Loads Quorvel.dll the way a host does and resolves its six functions.
#pragma once

#include <windows.h>

#include "quorvel.h"

struct HostModule {
  using InitFn = int(QUORVEL_CALL *)(VolumeChangeCallback);
  using VoidFn = int(QUORVEL_CALL *)(void);
  using IntFn = int(QUORVEL_CALL *)(int);
  using GetFn = int(QUORVEL_CALL *)(int *);

  HMODULE module = nullptr;
  InitFn InitEndPoint = nullptr;
  VoidFn UninitEndPoint = nullptr;
  IntFn MuteSet = nullptr;
  VoidFn MuteGet = nullptr;
  IntFn VolumeSet = nullptr;
  GetFn VolumeGet = nullptr;

  HostModule() : module(LoadLibraryW(L"Quorvel.dll")) {
    if (module == nullptr) {
      return;
    }
    InitEndPoint = resolve<InitFn>("InitEndPoint");
    UninitEndPoint = resolve<VoidFn>("UninitEndPoint");
    MuteSet = resolve<IntFn>("MuteSet");
    MuteGet = resolve<VoidFn>("MuteGet");
    VolumeSet = resolve<IntFn>("VolumeSet");
    VolumeGet = resolve<GetFn>("VolumeGet");
  }
  ~HostModule() {
    if (module != nullptr) {
      FreeLibrary(module);
    }
  }
  HostModule(const HostModule &) = delete;
  HostModule &operator=(const HostModule &) = delete;

  bool complete() const {
    return InitEndPoint && UninitEndPoint && MuteSet && MuteGet && VolumeSet && VolumeGet;
  }

  FARPROC byOrdinal(WORD ordinal) const {
    return GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)));
  }

private:
  template <typename Fn> Fn resolve(const char *name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)));
  }
};
