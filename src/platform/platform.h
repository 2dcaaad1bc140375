// The library's one boundary to the component runtime and the audio
// endpoint interfaces: the SDK headers on Windows, the portable stand-in
// elsewhere, plus the identifiers the library asks the platform for.
#pragma once

#ifdef _WIN32
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <windows.h>
#ifndef AUDCLNT_E_NOT_INITIALIZED
#define AUDCLNT_E_NOT_INITIALIZED static_cast<HRESULT>(0x88890001u)
#endif
#else
#include "platform/portable_com.h"
#endif

namespace quorvel::platform {

// Defined here rather than taken from libuuid so both builds share one set.
inline constexpr CLSID kClsidMMDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
inline constexpr IID kIidIMMDeviceEnumerator = {
    0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
inline constexpr IID kIidIAudioEndpointVolume = {
    0x5CDF2C82, 0x841E, 0x4546, {0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A}};
inline constexpr IID kIidIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidIAudioEndpointVolumeCallback = {
    0x657804FA, 0xD6AD, 0x4496, {0x8A, 0x60, 0x35, 0x27, 0x52, 0xAF, 0x4F, 0x89}};
inline constexpr IID kIidIMMNotificationClient = {
    0x7991EEC9, 0x7E89, 0x4D85, {0x83, 0x90, 0x6C, 0x70, 0x3C, 0xEC, 0x60, 0xC0}};

// Statuses with which the platform refuses a call itself: its arguments,
// the object's abilities, memory or rights were wrong for it, and the
// objects behind it still work.
inline constexpr HRESULT kRefusedStatuses[] = {
    static_cast<HRESULT>(0x80070057u), // E_INVALIDARG
    static_cast<HRESULT>(0x80004003u), // E_POINTER
    static_cast<HRESULT>(0x80004001u), // E_NOTIMPL
    static_cast<HRESULT>(0x8007000Eu), // E_OUTOFMEMORY
    static_cast<HRESULT>(0x80070005u), // E_ACCESSDENIED
};

// Any other failure may mean that an endpoint's objects are no longer
// usable or that the audio service behind them is gone. The platform says
// so in many ways (the device invalidated, its resources invalidated, the
// service not running, the connection to it broken, the endpoint not found
// while endpoints are rebuilt, ...), and objects that answered one stay
// that way: only fresh ones work again. So the binding is looked into
// whenever the status is not a refusal.
constexpr bool mayMeanLost(HRESULT status) {
  if (status >= 0) {
    return false;
  }
  for (HRESULT refused : kRefusedStatuses) {
    if (status == refused) {
      return false;
    }
  }
  return true;
}

// Endpoint ids are compared exactly, as the platform hands them out.
constexpr bool sameEndpointId(LPCWSTR a, LPCWSTR b) {
  for (; *a != 0 && *a == *b; ++a, ++b) {
  }
  return *a == *b;
}

// All 16 bytes compared, as the platform does; field by field, so that it
// also works in constant expressions.
constexpr bool sameGuid(const GUID &a, const GUID &b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
    return false;
  }
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) {
      return false;
    }
  }
  return true;
}

#ifdef _WIN32
// A mistyped byte would pass every test that compares with these same
// constants, so the Windows builds hold each one against the SDK's own.
static_assert(sameGuid(kClsidMMDeviceEnumerator, __uuidof(MMDeviceEnumerator)));
static_assert(sameGuid(kIidIMMDeviceEnumerator, __uuidof(IMMDeviceEnumerator)));
static_assert(sameGuid(kIidIAudioEndpointVolume, __uuidof(IAudioEndpointVolume)));
static_assert(sameGuid(kIidIUnknown, __uuidof(IUnknown)));
static_assert(sameGuid(kIidIAudioEndpointVolumeCallback, __uuidof(IAudioEndpointVolumeCallback)));
static_assert(sameGuid(kIidIMMNotificationClient, __uuidof(IMMNotificationClient)));
#endif

} // namespace quorvel::platform
