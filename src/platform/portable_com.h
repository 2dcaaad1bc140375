// Portable stand-in for the Windows COM and audio endpoint declarations,
// so that the library's logic builds and is unit-tested off Windows.
// Type widths match Windows; interface methods keep the SDK's slot order.
#pragma once

#include <cstdint>

// Calling conventions are meaningless off Windows.
#define STDMETHODCALLTYPE
#define WINAPI

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using INT_PTR = std::intptr_t;
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
using WINBOOL = std::int32_t;
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using FLOAT = float;
using LPVOID = void *;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR *;
using LPWSTR = WCHAR *;
using HMODULE = struct HINSTANCE__ *;
using HANDLE = void *;
using BOOLEAN = unsigned char;
using PVOID = void *;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID &;
using REFCLSID = const CLSID &;
using LPCGUID = const GUID *;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr BOOL FALSE = 0;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
constexpr HRESULT AUDCLNT_E_NOT_INITIALIZED = static_cast<HRESULT>(0x88890001u);

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 0x17;

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr unsigned long WT_EXECUTEDEFAULT = 0x0;

constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_PIN = 0x1;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

enum EDataFlow { eRender = 0, eCapture = 1, eAll = 2 };
enum ERole { eConsole = 0, eMultimedia = 1, eCommunications = 2 };

// Only passed by pointer; never looked into.
struct PROPVARIANT;
struct IPropertyStore;
struct IMMDeviceCollection;

struct PROPERTYKEY {
  GUID fmtid;
  DWORD pid;
};

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
using LPUNKNOWN = IUnknown *;

struct IMMDevice : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD dwClsCtx,
                                             PROPVARIANT *pActivationParams, void **ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD stgmAccess,
                                                      IPropertyStore **ppProperties) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetId(LPWSTR *ppstrId) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetState(DWORD *pdwState) = 0;
};

struct IMMNotificationClient : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR pwstrDeviceId,
                                                         DWORD dwNewState) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR pwstrDeviceId) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR pwstrDeviceId) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                           LPCWSTR pwstrDefaultDeviceId) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR pwstrDeviceId,
                                                           const PROPERTYKEY key) = 0;
};

struct IMMDeviceEnumerator : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow dataFlow, DWORD dwStateMask,
                                                       IMMDeviceCollection **ppDevices) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow dataFlow, ERole role,
                                                            IMMDevice **ppEndpoint) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR pwstrId, IMMDevice **ppDevice) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  RegisterEndpointNotificationCallback(IMMNotificationClient *pClient) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  UnregisterEndpointNotificationCallback(IMMNotificationClient *pClient) = 0;
};

struct AUDIO_VOLUME_NOTIFICATION_DATA {
  GUID guidEventContext;
  BOOL bMuted;
  float fMasterVolume;
  UINT nChannels;
  float afChannelVolumes[1];
};
using PAUDIO_VOLUME_NOTIFICATION_DATA = AUDIO_VOLUME_NOTIFICATION_DATA *;

struct IAudioEndpointVolumeCallback : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA pNotify) = 0;
};

struct IAudioEndpointVolume : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE
  RegisterControlChangeNotify(IAudioEndpointVolumeCallback *pNotify) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *pNotify) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChannelCount(UINT *pnChannelCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float fLevelDB,
                                                         LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float fLevel,
                                                               LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float *pfLevelDB) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float *pfLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT nChannel, float fLevelDB,
                                                          LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT nChannel, float fLevel,
                                                                LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT nChannel, float *pfLevelDB) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT nChannel, float *pfLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMute(BOOL bMute, LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMute(BOOL *pbMute) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT *pnStep, UINT *pnStepCount) = 0;
  virtual HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID pguidEventContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD *pdwHardwareSupportMask) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVolumeRange(float *pflVolumeMindB, float *pflVolumeMaxdB,
                                                   float *pflVolumeIncrementdB) = 0;
};

using LPTHREAD_START_ROUTINE = DWORD(WINAPI *)(LPVOID lpThreadParameter);
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using PFILETIME = FILETIME *;
using PTP_TIMER = struct TP_TIMER *;
using PTP_CALLBACK_INSTANCE = struct TP_CALLBACK_INSTANCE *;
using PTP_CALLBACK_ENVIRON = struct TP_CALLBACK_ENVIRON *;
using PTP_TIMER_CALLBACK = void(WINAPI *)(PTP_CALLBACK_INSTANCE Instance, PVOID Context,
                                          PTP_TIMER Timer);

// The component runtime and the few system calls the library makes; the
// test suite links a fake of these.
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();
void CoTaskMemFree(LPVOID pv);
HRESULT CoCreateGuid(GUID *pguid);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID *ppv);
BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE *phModule);
DWORD GetCurrentThreadId();
BOOL QueueUserWorkItem(LPTHREAD_START_ROUTINE Function, LPVOID Context, unsigned long Flags);
void Sleep(DWORD dwMilliseconds);
PTP_TIMER CreateThreadpoolTimer(PTP_TIMER_CALLBACK pfnti, PVOID pv, PTP_CALLBACK_ENVIRON pcbe);
void SetThreadpoolTimer(PTP_TIMER pti, PFILETIME pftDueTime, DWORD msPeriod, DWORD msWindowLength);
void CloseThreadpoolTimer(PTP_TIMER pti);
DWORD GetTickCount();
HRESULT CoIncrementMTAUsage(void **pCookie);
HRESULT CoDecrementMTAUsage(void *Cookie);
BOOLEAN RtlDllShutdownInProgress();
