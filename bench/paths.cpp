#include "paths.h"

#include "lean_platform.h"
#include "notify/volume_callback.h"
#include "quorvel.h"

namespace bench {

namespace {

const GUID kContext = {0x1234, 0x5678, 0x9ABC, {1, 2, 3, 4, 5, 6, 7, 8}};

// Keeps the compiler from folding a value away.
template <typename T> void keep(T const &value) { asm volatile("" : : "r,m"(value) : "memory"); }

// Hides an object's type, so direct calls stay virtual like the library's.
template <typename T> T *opaque(T *object) {
  asm volatile("" : "+r"(object));
  return object;
}

int QUORVEL_CALL hostFunction(int muted, int percent) {
  keep(muted);
  keep(percent);
  return 0;
}

void initUninit(int) {
  keep(InitEndPoint(&hostFunction));
  keep(UninitEndPoint());
}

void initUninitDirect(int) {
  IAudioEndpointVolumeCallback *sink = opaque<IAudioEndpointVolumeCallback>(&quorvel::notifySink);
  IMMDeviceEnumerator *enumerator = nullptr;
  IMMDevice *device = nullptr;
  IAudioEndpointVolume *volume = nullptr;
  GUID context;
  CoInitialize(nullptr);
  CoCreateGuid(&context);
  CoCreateInstance(quorvel::platform::kClsidMMDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                   quorvel::platform::kIidIMMDeviceEnumerator,
                   reinterpret_cast<void **>(&enumerator));
  opaque(enumerator)->GetDefaultAudioEndpoint(eRender, eConsole, &device);
  opaque(device)->Activate(quorvel::platform::kIidIAudioEndpointVolume, CLSCTX_ALL, nullptr,
                           reinterpret_cast<void **>(&volume));
  opaque(volume)->RegisterControlChangeNotify(sink);
  volume->UnregisterControlChangeNotify(sink);
  enumerator->Release();
  device->Release();
  volume->Release();
  CoUninitialize();
  keep(context);
}

void volumeSet(int i) { keep(VolumeSet(i % 101)); }
void volumeSetDirect(int i) {
  keep(opaque<IAudioEndpointVolume>(&lean::volume)
           ->SetMasterVolumeLevelScalar(static_cast<float>(i % 101 / 100.0), &kContext));
}

void volumeGet(int) {
  int percent;
  keep(VolumeGet(&percent));
  keep(percent);
}
void volumeGetDirect(int) {
  float level;
  keep(opaque<IAudioEndpointVolume>(&lean::volume)->GetMasterVolumeLevelScalar(&level));
  keep(level);
}

void muteSet(int i) { keep(MuteSet(i & 1)); }
void muteSetDirect(int i) {
  keep(opaque<IAudioEndpointVolume>(&lean::volume)->SetMute(i & 1, &kContext));
}

void muteGet(int) { keep(MuteGet()); }
void muteGetDirect(int) {
  BOOL muted;
  keep(opaque<IAudioEndpointVolume>(&lean::volume)->GetMute(&muted));
  keep(muted);
}

// A look that finds the default and the held control as they were.
void look(int) { lean::tick(); }
// The platform calls it makes, made directly.
void lookDirect(int) {
  IMMDevice *device = nullptr;
  LPWSTR id = nullptr;
  BOOL muted;
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  opaque<IMMDeviceEnumerator>(&lean::enumerator)
      ->GetDefaultAudioEndpoint(eRender, eConsole, &device);
  opaque(device)->GetId(&id);
  opaque<IAudioEndpointVolume>(&lean::volume)->GetMute(&muted);
  CoTaskMemFree(id);
  device->Release();
  CoUninitialize();
  keep(muted);
}

AUDIO_VOLUME_NOTIFICATION_DATA record = {{}, 0, 0.75f, 1, {0.75f}};

void onNotify(int) {
  keep(opaque<IAudioEndpointVolumeCallback>(&quorvel::notifySink)->OnNotify(&record));
}
// The platform calling the host function itself, with the same values.
void onNotifyDirect(int) {
  VolumeChangeCallback host = opaque(&hostFunction);
  keep(host(record.bMuted, static_cast<int>(record.fMasterVolume * 100.0 + 0.5)));
}

} // namespace

const Path kPaths[] = {{"InitEndPoint+UninitEndPoint", initUninit, initUninitDirect},
                       {"VolumeSet", volumeSet, volumeSetDirect},
                       {"VolumeGet", volumeGet, volumeGetDirect},
                       {"MuteSet", muteSet, muteSetDirect},
                       {"MuteGet", muteGet, muteGetDirect},
                       {"OnNotify", onNotify, onNotifyDirect},
                       {"Look", look, lookDirect}};
const int kPathCount = static_cast<int>(sizeof kPaths / sizeof kPaths[0]);

void bind() { InitEndPoint(&hostFunction); }
void unbind() { UninitEndPoint(); }

void runEveryLibraryPath() {
  int percent = 0;
  void *out = nullptr;
  UninitEndPoint();
  VolumeSet(50);
  VolumeGet(&percent);
  MuteSet(1);
  MuteGet();
  InitEndPoint(&hostFunction);
  InitEndPoint(nullptr);
  VolumeSet(-5);
  VolumeSet(250);
  VolumeGet(&percent);
  VolumeGet(nullptr);
  MuteSet(2);
  MuteGet();
  quorvel::notifySink.OnNotify(&record);
  quorvel::notifySink.OnNotify(nullptr);
  quorvel::notifySink.QueryInterface(quorvel::platform::kIidIUnknown, &out);
  quorvel::notifySink.QueryInterface(quorvel::platform::kIidIAudioEndpointVolume, &out);
  quorvel::notifySink.Release();
  UninitEndPoint();
  UninitEndPoint();
}

} // namespace bench
