// A fake audio endpoint service: enumerator, device and endpoint volume
// objects over one shared device state. It records every call with its
// arguments, fails any step on request, counts every reference it hands
// out, and notifies registered sinks after every change.
#pragma once

#include <atomic>
#include <vector>

#include "platform/platform.h"
#include "service_thread.h"

namespace fake {

// Every platform step the library may take.
enum class Step {
  CoInitialize,
  CoUninitialize,
  CoCreateGuid,
  CoCreateInstance,
  GetDefaultAudioEndpoint,
  Activate,
  PinModule,
  RegisterControlChangeNotify,
  UnregisterControlChangeNotify,
  SetMasterVolumeLevelScalar,
  GetMasterVolumeLevelScalar,
  SetMute,
  GetMute,
  Release,
  Count
};
constexpr int kStepCount = static_cast<int>(Step::Count);

// The steps of a binding that gets all the way, in the order they are taken.
inline constexpr Step kBindingSteps[] = {Step::CoInitialize,
                                         Step::CoCreateGuid,
                                         Step::CoCreateInstance,
                                         Step::GetDefaultAudioEndpoint,
                                         Step::Activate,
                                         Step::PinModule,
                                         Step::RegisterControlChangeNotify};

const char *stepName(Step step);

// One recorded call; only the fields its step uses are set.
struct Call {
  Step step;
  GUID clsid{};             // CoCreateInstance
  GUID iid{};               // CoCreateInstance, Activate
  DWORD context = 0;        // CLSCTX of CoCreateInstance, Activate; flags of PinModule
  int dataFlow = -1;        // GetDefaultAudioEndpoint
  int role = -1;            // GetDefaultAudioEndpoint
  const void *pointer{};    // outer object, activation params, reserved, sink,
                            // the address pinned, or the object released
  float level = 0.0f;       // SetMasterVolumeLevelScalar
  BOOL flag = 0;            // SetMute
  bool hasContext = false;  // a change carrying an event context
  GUID eventContext{};      // its value
  unsigned long thread = 0; // the thread that made the call (every step)
};

// How a change reaches the registered sinks.
enum class Delivery { None, CallerThread, ServiceThread };

class FakeAudioService;

// Counts references; over-releases are recorded, not undefined.
class RefCounter {
public:
  ULONG add();
  ULONG release(FakeAudioService &service, const void *object);
  LONG count() const { return count_.load(); }
  void reset() { count_ = 0; }

private:
  std::atomic<LONG> count_{0};
};

class FakeEndpointVolume final : public IAudioEndpointVolume {
public:
  explicit FakeEndpointVolume(FakeAudioService &service) : service_(service) {}
  LONG references() const { return refs_.count(); }
  void resetReferences() { refs_.reset(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
  ULONG STDMETHODCALLTYPE Release() override { return refs_.release(service_, this); }

  // IAudioEndpointVolume
  HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback *) override;
  HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *) override;
  HRESULT STDMETHODCALLTYPE GetChannelCount(UINT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID context) override;
  HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float *level) override;
  HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, float, LPCGUID) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, float *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, float *) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetMute(BOOL muted, LPCGUID context) override;
  HRESULT STDMETHODCALLTYPE GetMute(BOOL *muted) override;
  HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT *, UINT *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetVolumeRange(float *, float *, float *) override { return E_NOTIMPL; }

private:
  FakeAudioService &service_;
  RefCounter refs_;
};

class FakeDevice final : public IMMDevice {
public:
  explicit FakeDevice(FakeAudioService &service) : service_(service) {}
  LONG references() const { return refs_.count(); }
  void resetReferences() { refs_.reset(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
  ULONG STDMETHODCALLTYPE Release() override { return refs_.release(service_, this); }

  // IMMDevice
  HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT *params,
                                     void **ppv) override;
  HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore **) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR *) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD *) override { return E_NOTIMPL; }

private:
  FakeAudioService &service_;
  RefCounter refs_;
};

class FakeEnumerator final : public IMMDeviceEnumerator {
public:
  explicit FakeEnumerator(FakeAudioService &service) : service_(service) {}
  LONG references() const { return refs_.count(); }
  void resetReferences() { refs_.reset(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add(); }
  ULONG STDMETHODCALLTYPE Release() override { return refs_.release(service_, this); }

  // IMMDeviceEnumerator
  HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection **) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow dataFlow, ERole role,
                                                    IMMDevice **device) override;
  HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice **) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient *) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  UnregisterEndpointNotificationCallback(IMMNotificationClient *) override {
    return E_NOTIMPL;
  }

private:
  FakeAudioService &service_;
  RefCounter refs_;
};

class FakeAudioService {
public:
  static constexpr int kVolumeObjects = 4;
  static constexpr int kMaxSinks = 8;

  FakeAudioService();

  // Back to a fresh device: no faults, no calls, no references, level 1.0.
  void reset();

  // Makes every later call of the step return status, until cleared.
  void failAt(Step step, HRESULT status = E_FAIL);
  void clearFaults();
  // Status the step returns now: a fault, or okStatus.
  HRESULT statusOf(Step step, HRESULT okStatus = S_OK) const;

  // Records a call and the thread making it.
  void record(const Call &call);
  std::vector<Call> calls() const;
  std::vector<Step> steps() const;
  int countOf(Step step) const;
  void clearCalls();

  // Reference bookkeeping of every object handed out.
  LONG outstandingReferences() const;
  int overReleases() const { return overReleases_.load(); }
  void noteOverRelease() { ++overReleases_; }

  // Registered sinks, each held by one reference.
  HRESULT registerSink(IAudioEndpointVolumeCallback *sink);
  HRESULT unregisterSink(IAudioEndpointVolumeCallback *sink);
  // Without taking the sink lock, so a host's thread may ask while a
  // delivery waits for it.
  int sinkCount() const { return sinkCount_.load(); }

  // Applies a change made by any party and tells every sink.
  void applyChange(float level, BOOL muted, LPCGUID context);
  // Calls OnNotify of every registered sink on the calling thread; returns
  // how many were called.
  int notifySinks(AUDIO_VOLUME_NOTIFICATION_DATA *record);

  // Creates the enumerator for CoCreateInstance, already recorded by the
  // caller: fails on request, refuses aggregation, answers riid.
  HRESULT createEnumerator(IUnknown *outer, REFIID riid, void **ppv);

  // An endpoint volume object not handed out yet, or null.
  FakeEndpointVolume *freeVolume();

  FakeEnumerator enumerator;
  FakeDevice device;
  FakeEndpointVolume volumes[kVolumeObjects];

  std::atomic<float> level{1.0f};
  std::atomic<BOOL> muted{0};
  Delivery delivery = Delivery::ServiceThread;
  // Set when there is no playback device at all.
  bool noDevice = false;

private:
  // Guards calls_ and faults_.
  mutable ServiceLock lock_;
  std::vector<Call> calls_;
  HRESULT faults_[kStepCount];
  // Guards sinks_; held while sinks run, so they may call the service.
  mutable ServiceLock sinkLock_;
  IAudioEndpointVolumeCallback *sinks_[kMaxSinks] = {};
  std::atomic<int> sinkCount_{0};
  std::atomic<int> overReleases_{0};
};

// The one service the fake platform hands out.
FakeAudioService &audio();

} // namespace fake
