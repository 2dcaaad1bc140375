// A fake audio endpoint service: an enumerator, two playback devices and
// endpoint volume objects over each device's state. It records every call
// with its arguments, fails any step on request, counts every reference it
// hands out, notifies the sinks registered on a device after every change
// to it, reports changes of the default device to registered clients, and
// runs queued work items when asked or on threads of their own. It also
// notes every platform callback that releases a last reference or sleeps,
// which the platform forbids. It can invalidate a device's objects in place
// and stop and start again, as the platform's audio service does.
#pragma once

#include <atomic>
#include <cstddef>
#include <ostream>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "service_thread.h"

#ifndef _WIN32
// The component runtime's allocator, for the ids GetId hands out; the fake
// runtime counts what is not freed.
LPVOID CoTaskMemAlloc(std::size_t cb);
#endif

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
  GetId,
  RegisterEndpointNotificationCallback,
  UnregisterEndpointNotificationCallback,
  CoInitializeEx,
  QueueUserWorkItem,
  SetMasterVolumeLevelScalar,
  GetMasterVolumeLevelScalar,
  SetMute,
  GetMute,
  Release,
  // Not recorded: a control counting itself in on a slot, for the hook.
  CountIn,
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
// The steps a successful binding then takes to follow the default device
// (releases left out): the bound device's id, the registration, and one
// more look at the default.
inline constexpr Step kFollowSteps[] = {Step::GetId, Step::RegisterEndpointNotificationCallback,
                                        Step::GetDefaultAudioEndpoint, Step::GetId};

const char *stepName(Step step);
// Names the step in test failures.
inline void PrintTo(Step step, std::ostream *out) { *out << stepName(step); }

// One recorded call; only the fields its step uses are set.
struct Call {
  Step step;
  GUID clsid{};             // CoCreateInstance
  GUID iid{};               // CoCreateInstance, Activate
  DWORD context = 0;        // CLSCTX of CoCreateInstance, Activate; flags of PinModule
  int dataFlow = -1;        // GetDefaultAudioEndpoint
  int role = -1;            // GetDefaultAudioEndpoint
  int device = -1;          // Activate, GetId, the (un)registrations of a sink
  const void *pointer{};    // outer object, activation params, reserved, sink,
                            // client, the address pinned, the object
                            // released, or the work item's function
  float level = 0.0f;       // SetMasterVolumeLevelScalar
  BOOL flag = 0;            // SetMute
  bool hasContext = false;  // a change carrying an event context
  GUID eventContext{};      // its value
  unsigned long thread = 0; // the thread that made the call (every step)
};

// What objects of a stopped or invalidated service answer from then on.
constexpr HRESULT kDeviceInvalidated = static_cast<HRESULT>(0x88890004u);
constexpr HRESULT kServiceNotRunning = static_cast<HRESULT>(0x88890010u);

// How a change reaches the registered sinks and clients.
enum class Delivery { None, CallerThread, ServiceThread };

// How queued work items run: when runQueuedWork() is called, or at once,
// each on a thread of its own.
enum class WorkMode { Manual, Thread };

class FakeDevice;

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
  // The device whose state this object controls; set when handed out.
  FakeDevice *device() const { return device_.load(); }
  // Handed out afresh: attached to device, answering again.
  void attachTo(FakeDevice *device) {
    device_ = device;
    lost = S_OK;
  }
  // What every call answers from now on once the object is lost, or S_OK.
  std::atomic<HRESULT> lost{S_OK};

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
  // Records the call, noting it if nobody holds the object, and returns
  // what it answers.
  HRESULT recordCall(const Call &call);

  FakeAudioService &service_;
  RefCounter refs_;
  std::atomic<FakeDevice *> device_{nullptr};
};

class FakeDevice final : public IMMDevice {
public:
  FakeDevice(FakeAudioService &service, int index);
  LONG references() const { return refs_.count(); }
  void resetReferences() { refs_.reset(); }
  int index() const { return index_; }
  // The endpoint id GetId hands out, NUL-terminated.
  const WCHAR *id() const { return id_; }

  // This device's own state.
  std::atomic<float> level{1.0f};
  std::atomic<BOOL> muted{0};

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
  HRESULT STDMETHODCALLTYPE GetId(LPWSTR *id) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD *) override { return E_NOTIMPL; }

private:
  FakeAudioService &service_;
  RefCounter refs_;
  int index_;
  WCHAR id_[26] = {};
};

class FakeEnumerator final : public IMMDeviceEnumerator {
public:
  explicit FakeEnumerator(FakeAudioService &service) : service_(service) {}
  LONG references() const { return refs_.count(); }
  void resetReferences() { refs_.reset(); }
  // As for FakeEndpointVolume.
  std::atomic<HRESULT> lost{S_OK};

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
  HRESULT STDMETHODCALLTYPE
  RegisterEndpointNotificationCallback(IMMNotificationClient *client) override;
  HRESULT STDMETHODCALLTYPE
  UnregisterEndpointNotificationCallback(IMMNotificationClient *client) override;

private:
  FakeAudioService &service_;
  RefCounter refs_;
};

class FakeAudioService {
public:
  static constexpr int kDevices = 2;
  static constexpr int kEnumerators = 2;
  static constexpr int kVolumeObjects = 4;
  static constexpr int kMaxSinks = 8;
  static constexpr int kMaxClients = 4;

  FakeAudioService();

  // Back to fresh devices, the first one the default: no faults, no calls,
  // no references, no registrations, level 1.0. Joins any work item thread.
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
  // Platform callbacks that released a last reference or slept; both are
  // forbidden to the library's notification objects.
  int callbackViolations() const { return callbackViolations_.load(); }
  void noteCallbackViolation() { ++callbackViolations_; }
  // Calls on an endpoint volume object nobody holds a reference to.
  int usesAfterRelease() const { return usesAfterRelease_.load(); }
  void noteUseAfterRelease() { ++usesAfterRelease_; }

  // Sinks registered through an endpoint volume object on its device, each
  // held by one reference; a withdrawal names the object it goes through
  // and the sink (null: any).
  HRESULT registerSink(const FakeEndpointVolume &volume, IAudioEndpointVolumeCallback *sink);
  HRESULT unregisterSink(const FakeEndpointVolume *volume, IAudioEndpointVolumeCallback *sink);
  // Without taking the sink lock, so a host's thread may ask while a
  // delivery waits for it; on every device together.
  int sinkCount() const { return sinkCount_.load(); }

  // Applies a change made by any party to a device (the first one unless
  // told) and tells the sinks registered on it.
  void applyChange(float level, BOOL muted, LPCGUID context, int device = 0);
  // Calls OnNotify of every registered sink, of any device, on the calling
  // thread; returns how many were called.
  int notifySinks(AUDIO_VOLUME_NOTIFICATION_DATA *record);

  // Endpoint notification clients; the platform takes no reference.
  HRESULT registerClient(const FakeEnumerator &enumerator, IMMNotificationClient *client);
  HRESULT unregisterClient(IMMNotificationClient *client);
  int clientCount() const { return clientCount_.load(); }
  // Makes a device (or none, -1) the default for every role and, unless
  // told not to, reports it to the clients role by role, console first, as
  // the platform does.
  void switchDefault(int device, bool report = true);
  // Reports one change of the default, whatever the default is.
  void notifyDefaultChanged(EDataFlow flow, ERole role, const WCHAR *id);

  // Every endpoint volume object held on the device answers
  // kDeviceInvalidated from now on; nothing is reported.
  void invalidate(int device);
  // Stops the service: every call answers kServiceNotRunning, and so do the
  // objects held now after it starts again; the registrations are dropped
  // without a word.
  void stopService();
  void startService();
  // What an object's call answers: its lost status, the stopped service's,
  // a fault, or S_OK.
  HRESULT answerOf(Step step, HRESULT lost) const;
  // The default playback device's index, or -1 when there is none.
  int defaultDevice() const { return noDevice ? -1 : defaultDevice_.load(); }

  // Work items, queued by QueueUserWorkItem.
  BOOL queueWork(LPTHREAD_START_ROUTINE function, LPVOID context);
  // Runs the queued items, each on a new thread, until none is left;
  // returns how many ran.
  int runQueuedWork();
  int queuedWork() const;
  // Waits for the items started on threads of their own.
  void joinWork();
  // True on a thread that runs a work item.
  static bool onWorkThread();

  // Creates the enumerator for CoCreateInstance, already recorded by the
  // caller: fails on request, refuses aggregation, answers riid.
  HRESULT createEnumerator(IUnknown *outer, REFIID riid, void **ppv);

  // An endpoint volume object not handed out yet, or null.
  FakeEndpointVolume *freeVolume();

  // Handed out by CoCreateInstance, one not held at a time; the first is
  // the one most tests look at.
  FakeEnumerator enumerators[kEnumerators];
  FakeEnumerator &enumerator;
  FakeDevice devices[kDevices];
  FakeEndpointVolume volumes[kVolumeObjects];
  // The first device and its state, which most tests use alone.
  FakeDevice &device;
  std::atomic<float> &level;
  std::atomic<BOOL> &muted;

  // Called with the step of every call as it is recorded, before it acts:
  // lets a test act at a precise point (switch the default, be slow).
  // Atomic: the library's periodic look may record a call on a pool thread
  // while a test sets or clears it.
  std::atomic<void (*)(Step)> hook{nullptr};
  Delivery delivery = Delivery::ServiceThread;
  WorkMode workMode = WorkMode::Manual;
  // Whether a withdrawal waits for a delivery to it in progress, as some
  // platforms do; without, a sink or client may be called once more after
  // its withdrawal has returned.
  bool withdrawalWaits = true;
  // Set when there is no playback device at all.
  bool noDevice = false;

private:
  struct SinkSlot {
    IAudioEndpointVolumeCallback *sink;
    const FakeEndpointVolume *volume;
    int device;
  };
  struct WorkItem {
    LPTHREAD_START_ROUTINE function;
    LPVOID context;
  };

  // Calls OnNotify of the sinks on device (any, -1) under the delivery rule.
  int deliverToSinks(int device, AUDIO_VOLUME_NOTIFICATION_DATA *record);
  void deliverDefaultChange(EDataFlow flow, ERole role, const WCHAR *id);

  // Guards calls_ and faults_.
  mutable ServiceLock lock_;
  std::vector<Call> calls_;
  HRESULT faults_[kStepCount];
  // Guards sinks_ and clients_; held while they are called when
  // withdrawalWaits, so they may call the service.
  mutable ServiceLock sinkLock_;
  SinkSlot sinks_[kMaxSinks] = {};
  IMMNotificationClient *clients_[kMaxClients] = {};
  std::atomic<int> sinkCount_{0};
  std::atomic<int> clientCount_{0};
  std::atomic<int> defaultDevice_{0};
  std::atomic<bool> stopped_{false};
  // Guards work_ and workThreads_.
  mutable ServiceLock workLock_;
  std::vector<WorkItem> work_;
  std::vector<std::thread> workThreads_;
  std::atomic<int> overReleases_{0};
  std::atomic<int> callbackViolations_{0};
  std::atomic<int> usesAfterRelease_{0};
};

// The one service the fake platform hands out.
FakeAudioService &audio();

// The index of the device a volume object of the fake controls, or -1 for
// none.
int deviceOf(IAudioEndpointVolume *volume);
// The steps, releases left out.
std::vector<Step> withoutReleases(const std::vector<Step> &steps);

// True on a thread while the service calls a sink or a client.
bool insidePlatformCallback();

} // namespace fake
