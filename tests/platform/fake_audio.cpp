#include "fake_audio.h"

namespace fake {

using quorvel::platform::kIidIAudioEndpointVolume;
using quorvel::platform::kIidIMMDeviceEnumerator;
using quorvel::platform::kIidIUnknown;
using quorvel::platform::sameGuid;

namespace {

constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490u);
constexpr IID kIidIMMDevice = {
    0xD666063F, 0x1587, 0x4E43, {0x81, 0xF1, 0xB9, 0x48, 0xE8, 0x07, 0x36, 0x3F}};

// QueryInterface as COM objects answer it: one interface besides IUnknown.
template <typename Object>
HRESULT answerQuery(Object *object, REFIID asked, const IID &own, void **ppv) {
  if (ppv == nullptr) {
    return E_POINTER;
  }
  if (sameGuid(asked, kIidIUnknown) || sameGuid(asked, own)) {
    object->AddRef();
    *ppv = object;
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

thread_local bool inCallback = false;
thread_local bool inWorkItem = false;

// A work item as the pool runs it: on its own thread, marked as such.
void runWorkItem(LPTHREAD_START_ROUTINE function, LPVOID context) {
  inWorkItem = true;
  function(context);
}

// Marks the calling thread as inside a platform callback while it lasts.
class CallbackScope {
public:
  CallbackScope() : outer_(inCallback) { inCallback = true; }
  ~CallbackScope() { inCallback = outer_; }

private:
  bool outer_;
};

// What a delivery runs, wherever it runs: deliver(*this).
struct DeliveryJob {
  FakeAudioService *service;
  int device;
  void *payload;
  void (*deliver)(DeliveryJob &);
};

void runJob(void *arg) {
  auto *job = static_cast<DeliveryJob *>(arg);
  job->deliver(*job);
}

// Runs job.deliver as the delivery mode says.
void dispatch(Delivery delivery, DeliveryJob job) {
  if (delivery == Delivery::CallerThread) {
    job.deliver(job);
  } else if (delivery == Delivery::ServiceThread) {
    runOnServiceThread(runJob, &job);
  }
}

} // namespace

bool insidePlatformCallback() { return inCallback; }

bool FakeAudioService::onWorkThread() { return inWorkItem; }

const char *stepName(Step step) {
  static const char *const kNames[kStepCount] = {"CoInitialize",
                                                 "CoUninitialize",
                                                 "CoCreateGuid",
                                                 "CoCreateInstance",
                                                 "GetDefaultAudioEndpoint",
                                                 "Activate",
                                                 "PinModule",
                                                 "RegisterControlChangeNotify",
                                                 "UnregisterControlChangeNotify",
                                                 "GetId",
                                                 "RegisterEndpointNotificationCallback",
                                                 "UnregisterEndpointNotificationCallback",
                                                 "CoInitializeEx",
                                                 "QueueUserWorkItem",
                                                 "SetMasterVolumeLevelScalar",
                                                 "GetMasterVolumeLevelScalar",
                                                 "SetMute",
                                                 "GetMute",
                                                 "Release",
                                                 "CountIn"};
  return kNames[static_cast<int>(step)];
}

ULONG RefCounter::add() { return static_cast<ULONG>(++count_); }

ULONG RefCounter::release(FakeAudioService &service, const void *object) {
  Call call{Step::Release};
  call.pointer = object;
  service.record(call);
  LONG now = count_.load();
  while (now > 0 && !count_.compare_exchange_weak(now, now - 1)) {
  }
  if (now <= 0) {
    service.noteOverRelease();
    return 0;
  }
  if (now == 1 && insidePlatformCallback()) {
    service.noteCallbackViolation();
  }
  return static_cast<ULONG>(now - 1);
}

// ---- FakeEndpointVolume ----

// The object is static, so a call after the last release goes through; it
// is noted, as on the platform it would touch freed memory.
HRESULT FakeEndpointVolume::recordCall(const Call &call) {
  service_.record(call);
  if (refs_.count() == 0) {
    service_.noteUseAfterRelease();
  }
  return service_.answerOf(call.step, lost.load());
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::QueryInterface(REFIID riid, void **ppv) {
  return answerQuery(this, riid, kIidIAudioEndpointVolume, ppv);
}

HRESULT STDMETHODCALLTYPE
FakeEndpointVolume::RegisterControlChangeNotify(IAudioEndpointVolumeCallback *sink) {
  Call call{Step::RegisterControlChangeNotify};
  call.pointer = sink;
  call.device = device()->index();
  const HRESULT status = recordCall(call);
  return FAILED(status) ? status : service_.registerSink(*this, sink);
}

HRESULT STDMETHODCALLTYPE
FakeEndpointVolume::UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *sink) {
  Call call{Step::UnregisterControlChangeNotify};
  call.pointer = sink;
  call.device = device()->index();
  const HRESULT status = recordCall(call);
  return FAILED(status) ? status : service_.unregisterSink(this, sink);
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::SetMasterVolumeLevelScalar(float level,
                                                                         LPCGUID context) {
  Call call{Step::SetMasterVolumeLevelScalar};
  call.level = level;
  call.hasContext = context != nullptr;
  if (context != nullptr) {
    call.eventContext = *context;
  }
  const HRESULT status = recordCall(call);
  if (FAILED(status)) {
    return status;
  }
  if (!(level >= 0.0f && level <= 1.0f)) {
    return E_INVALIDARG;
  }
  service_.applyChange(level, device()->muted.load(), context, device()->index());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::GetMasterVolumeLevelScalar(float *level) {
  const HRESULT status = recordCall(Call{Step::GetMasterVolumeLevelScalar});
  if (FAILED(status)) {
    return status;
  }
  if (level == nullptr) {
    return E_POINTER;
  }
  *level = device()->level.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::SetMute(BOOL muted, LPCGUID context) {
  Call call{Step::SetMute};
  call.flag = muted;
  call.hasContext = context != nullptr;
  if (context != nullptr) {
    call.eventContext = *context;
  }
  const HRESULT status = recordCall(call);
  if (FAILED(status)) {
    return status;
  }
  service_.applyChange(device()->level.load(), muted, context, device()->index());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::GetMute(BOOL *muted) {
  const HRESULT status = recordCall(Call{Step::GetMute});
  if (FAILED(status)) {
    return status;
  }
  if (muted == nullptr) {
    return E_POINTER;
  }
  *muted = device()->muted.load();
  return S_OK;
}

// ---- FakeDevice ----

HRESULT STDMETHODCALLTYPE FakeDevice::QueryInterface(REFIID riid, void **ppv) {
  return answerQuery(this, riid, kIidIMMDevice, ppv);
}

HRESULT STDMETHODCALLTYPE FakeDevice::Activate(REFIID iid, DWORD context, PROPVARIANT *params,
                                               void **ppv) {
  Call call{Step::Activate};
  call.iid = iid;
  call.context = context;
  call.pointer = params;
  call.device = index_;
  service_.record(call);
  if (ppv == nullptr) {
    return E_POINTER;
  }
  *ppv = nullptr;
  const HRESULT status = service_.answerOf(Step::Activate, S_OK);
  if (FAILED(status)) {
    return status;
  }
  FakeEndpointVolume *volume = service_.freeVolume();
  if (volume == nullptr) {
    return E_FAIL;
  }
  volume->attachTo(this);
  return volume->QueryInterface(iid, ppv);
}

HRESULT STDMETHODCALLTYPE FakeDevice::GetId(LPWSTR *id) {
  Call call{Step::GetId};
  call.device = index_;
  service_.record(call);
  if (id == nullptr) {
    return E_POINTER;
  }
  *id = nullptr;
  const HRESULT status = service_.answerOf(Step::GetId, S_OK);
  if (FAILED(status)) {
    return status;
  }
  // The caller frees it with CoTaskMemFree, as the platform's own.
  constexpr std::size_t kBytes = sizeof id_;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(kBytes));
  for (std::size_t i = 0; i < std::size(id_); ++i) {
    (*id)[i] = id_[i];
  }
  return S_OK;
}

// ---- FakeEnumerator ----

HRESULT STDMETHODCALLTYPE FakeEnumerator::QueryInterface(REFIID riid, void **ppv) {
  return answerQuery(this, riid, kIidIMMDeviceEnumerator, ppv);
}

HRESULT STDMETHODCALLTYPE FakeEnumerator::GetDefaultAudioEndpoint(EDataFlow dataFlow, ERole role,
                                                                  IMMDevice **device) {
  Call call{Step::GetDefaultAudioEndpoint};
  call.dataFlow = dataFlow;
  call.role = role;
  service_.record(call);
  if (device == nullptr) {
    return E_POINTER;
  }
  *device = nullptr;
  const HRESULT status = service_.answerOf(Step::GetDefaultAudioEndpoint, lost.load());
  if (FAILED(status)) {
    return status;
  }
  // The fake has two playback devices and nothing to record from.
  const int index = service_.defaultDevice();
  if (index < 0 || dataFlow != eRender) {
    return kNotFound;
  }
  service_.devices[index].AddRef();
  *device = &service_.devices[index];
  return S_OK;
}

HRESULT STDMETHODCALLTYPE
FakeEnumerator::RegisterEndpointNotificationCallback(IMMNotificationClient *client) {
  Call call{Step::RegisterEndpointNotificationCallback};
  call.pointer = client;
  service_.record(call);
  const HRESULT status = service_.answerOf(Step::RegisterEndpointNotificationCallback, lost.load());
  return FAILED(status) ? status : service_.registerClient(*this, client);
}

HRESULT STDMETHODCALLTYPE
FakeEnumerator::UnregisterEndpointNotificationCallback(IMMNotificationClient *client) {
  Call call{Step::UnregisterEndpointNotificationCallback};
  call.pointer = client;
  service_.record(call);
  const HRESULT status =
      service_.answerOf(Step::UnregisterEndpointNotificationCallback, lost.load());
  return FAILED(status) ? status : service_.unregisterClient(client);
}

// ---- FakeAudioService ----

FakeDevice::FakeDevice(FakeAudioService &service, int index) : service_(service), index_(index) {
  // Shaped like the platform's ids: "{0.0.0.00000000}.{fake-N}".
  const char text[] = "{0.0.0.00000000}.{fake-";
  std::size_t i = 0;
  for (; text[i] != 0; ++i) {
    id_[i] = static_cast<WCHAR>(text[i]);
  }
  id_[i++] = static_cast<WCHAR>('0' + index);
  id_[i++] = static_cast<WCHAR>('}');
}

FakeAudioService::FakeAudioService()
    : enumerators{FakeEnumerator(*this), FakeEnumerator(*this)},
      enumerator(enumerators[0]), devices{FakeDevice(*this, 0), FakeDevice(*this, 1)},
      volumes{FakeEndpointVolume(*this), FakeEndpointVolume(*this), FakeEndpointVolume(*this),
              FakeEndpointVolume(*this)},
      device(devices[0]), level(devices[0].level), muted(devices[0].muted) {
  reset();
}

void FakeAudioService::reset() {
  joinWork();
  {
    ServiceLockGuard workGuard(workLock_);
    work_.clear();
  }
  {
    ServiceLockGuard guard(lock_);
    calls_.clear();
    for (HRESULT &fault : faults_) {
      fault = S_OK;
    }
  }
  {
    // Not under lock_: deliveries take lock_ while they hold this one.
    ServiceLockGuard sinkGuard(sinkLock_);
    for (SinkSlot &slot : sinks_) {
      slot = SinkSlot{};
    }
    for (IMMNotificationClient *&client : clients_) {
      client = nullptr;
    }
    sinkCount_ = 0;
    clientCount_ = 0;
  }
  for (FakeEnumerator &each : enumerators) {
    each.resetReferences();
    each.lost = S_OK;
  }
  for (FakeDevice &each : devices) {
    each.resetReferences();
    each.level = 1.0f;
    each.muted = 0;
  }
  for (FakeEndpointVolume &volume : volumes) {
    volume.resetReferences();
    volume.lost = S_OK;
  }
  overReleases_ = 0;
  callbackViolations_ = 0;
  usesAfterRelease_ = 0;
  hook = nullptr;
  defaultDevice_ = 0;
  stopped_ = false;
  delivery = Delivery::ServiceThread;
  workMode = WorkMode::Manual;
  withdrawalWaits = true;
  noDevice = false;
}

void FakeAudioService::failAt(Step step, HRESULT status) {
  ServiceLockGuard guard(lock_);
  faults_[static_cast<int>(step)] = status;
}

void FakeAudioService::clearFaults() {
  ServiceLockGuard guard(lock_);
  for (HRESULT &fault : faults_) {
    fault = S_OK;
  }
}

HRESULT FakeAudioService::statusOf(Step step, HRESULT okStatus) const {
  ServiceLockGuard guard(lock_);
  const HRESULT fault = faults_[static_cast<int>(step)];
  return FAILED(fault) ? fault : okStatus;
}

void FakeAudioService::record(const Call &call) {
  if (void (*const act)(Step) = hook.load()) {
    act(call.step);
  }
  Call recorded = call;
  recorded.thread = currentThreadId();
  ServiceLockGuard guard(lock_);
  calls_.push_back(recorded);
}

std::vector<Call> FakeAudioService::calls() const {
  ServiceLockGuard guard(lock_);
  return calls_;
}

std::vector<Step> FakeAudioService::steps() const {
  std::vector<Step> result;
  for (const Call &call : calls()) {
    result.push_back(call.step);
  }
  return result;
}

int FakeAudioService::countOf(Step step) const {
  int count = 0;
  for (const Call &call : calls()) {
    count += call.step == step ? 1 : 0;
  }
  return count;
}

void FakeAudioService::clearCalls() {
  ServiceLockGuard guard(lock_);
  calls_.clear();
}

HRESULT FakeAudioService::answerOf(Step step, HRESULT lost) const {
  if (FAILED(lost)) {
    return lost;
  }
  return stopped_ ? kServiceNotRunning : statusOf(step);
}

LONG FakeAudioService::outstandingReferences() const {
  LONG total = 0;
  for (const FakeEnumerator &each : enumerators) {
    total += each.references();
  }
  for (const FakeDevice &each : devices) {
    total += each.references();
  }
  for (const FakeEndpointVolume &volume : volumes) {
    total += volume.references();
  }
  return total;
}

HRESULT FakeAudioService::registerSink(const FakeEndpointVolume &volume,
                                       IAudioEndpointVolumeCallback *sink) {
  if (sink == nullptr) {
    return E_POINTER;
  }
  ServiceLockGuard guard(sinkLock_);
  // Lost since the call was answered (invalidate and stopService mark the
  // object before they drop its registrations under this lock): a dead
  // object keeps nothing, as on the platform.
  if (const HRESULT lost = volume.lost.load(); FAILED(lost)) {
    return lost;
  }
  for (SinkSlot &slot : sinks_) {
    if (slot.sink == nullptr) {
      sink->AddRef();
      slot = SinkSlot{sink, &volume, volume.device()->index()};
      ++sinkCount_;
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT FakeAudioService::unregisterSink(const FakeEndpointVolume *volume,
                                         IAudioEndpointVolumeCallback *sink) {
  ServiceLockGuard guard(sinkLock_);
  for (SinkSlot &slot : sinks_) {
    if (slot.sink != nullptr && (sink == nullptr || slot.sink == sink) &&
        (volume == nullptr || slot.volume == volume)) {
      IAudioEndpointVolumeCallback *dropped = slot.sink;
      slot = SinkSlot{};
      --sinkCount_;
      dropped->Release();
      return S_OK;
    }
  }
  return kNotFound;
}

void FakeAudioService::applyChange(float newLevel, BOOL newMuted, LPCGUID context, int index) {
  FakeDevice &changed = devices[index];
  changed.level = newLevel;
  // Stored and reported as given, as some platforms do (2 stays 2).
  changed.muted = newMuted;
  AUDIO_VOLUME_NOTIFICATION_DATA record{};
  record.guidEventContext = context != nullptr ? *context : GUID{};
  record.bMuted = newMuted;
  record.fMasterVolume = newLevel;
  record.nChannels = 1;
  record.afChannelVolumes[0] = newLevel;
  dispatch(delivery, DeliveryJob{this, index, &record, [](DeliveryJob &job) {
                                   job.service->deliverToSinks(
                                       job.device,
                                       static_cast<AUDIO_VOLUME_NOTIFICATION_DATA *>(job.payload));
                                 }});
}

int FakeAudioService::notifySinks(AUDIO_VOLUME_NOTIFICATION_DATA *record) {
  return deliverToSinks(-1, record);
}

// When withdrawals wait, the sink lock is held while the sinks run, so no
// sink is called after its withdrawal has returned; otherwise the sinks are
// picked under the lock and called after it is released.
int FakeAudioService::deliverToSinks(int device, AUDIO_VOLUME_NOTIFICATION_DATA *record) {
  IAudioEndpointVolumeCallback *picked[kMaxSinks] = {};
  int count = 0;
  std::unique_lock<ServiceLock> guard(sinkLock_);
  for (const SinkSlot &slot : sinks_) {
    if (slot.sink != nullptr && (device < 0 || slot.device == device)) {
      picked[count++] = slot.sink;
    }
  }
  if (!withdrawalWaits) {
    guard.unlock();
  }
  CallbackScope scope;
  for (int i = 0; i < count; ++i) {
    picked[i]->OnNotify(record);
  }
  return count;
}

HRESULT FakeAudioService::registerClient(const FakeEnumerator &enumerator,
                                         IMMNotificationClient *client) {
  if (client == nullptr) {
    return E_POINTER;
  }
  ServiceLockGuard guard(sinkLock_);
  // As for sinks: an enumerator lost meanwhile keeps nothing.
  if (const HRESULT lost = enumerator.lost.load(); FAILED(lost)) {
    return lost;
  }
  for (IMMNotificationClient *&slot : clients_) {
    if (slot == nullptr) {
      slot = client;
      ++clientCount_;
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT FakeAudioService::unregisterClient(IMMNotificationClient *client) {
  ServiceLockGuard guard(sinkLock_);
  for (IMMNotificationClient *&slot : clients_) {
    if (client != nullptr && slot == client) {
      slot = nullptr;
      --clientCount_;
      return S_OK;
    }
  }
  return kNotFound;
}

void FakeAudioService::switchDefault(int index, bool report) {
  defaultDevice_ = index;
  if (!report) {
    return;
  }
  for (ERole role : {eConsole, eMultimedia, eCommunications}) {
    notifyDefaultChanged(eRender, role, index < 0 ? nullptr : devices[index].id());
  }
}

void FakeAudioService::notifyDefaultChanged(EDataFlow flow, ERole role, const WCHAR *id) {
  struct Change {
    EDataFlow flow;
    ERole role;
    const WCHAR *id;
  } change{flow, role, id};
  dispatch(delivery, DeliveryJob{this, -1, &change, [](DeliveryJob &job) {
                                   const auto *c = static_cast<const Change *>(job.payload);
                                   job.service->deliverDefaultChange(c->flow, c->role, c->id);
                                 }});
}

void FakeAudioService::invalidate(int index) {
  for (FakeEndpointVolume &volume : volumes) {
    if (volume.references() > 0 && volume.device() == &devices[index]) {
      volume.lost = kDeviceInvalidated;
      // Nothing is delivered through a lost object any more.
      while (SUCCEEDED(unregisterSink(&volume, nullptr))) {
      }
    }
  }
}

void FakeAudioService::stopService() {
  stopped_ = true;
  for (FakeEndpointVolume &volume : volumes) {
    if (volume.references() > 0) {
      volume.lost = kServiceNotRunning;
    }
  }
  for (FakeEnumerator &each : enumerators) {
    if (each.references() > 0) {
      each.lost = kServiceNotRunning;
    }
  }
  ServiceLockGuard guard(sinkLock_);
  for (SinkSlot &slot : sinks_) {
    if (slot.sink != nullptr) {
      slot.sink->Release();
      slot = SinkSlot{};
    }
  }
  for (IMMNotificationClient *&client : clients_) {
    client = nullptr;
  }
  sinkCount_ = 0;
  clientCount_ = 0;
}

void FakeAudioService::startService() { stopped_ = false; }

// As for sinks: under the lock when withdrawals wait, after it otherwise.
void FakeAudioService::deliverDefaultChange(EDataFlow flow, ERole role, const WCHAR *id) {
  IMMNotificationClient *picked[kMaxClients] = {};
  int count = 0;
  std::unique_lock<ServiceLock> guard(sinkLock_);
  for (IMMNotificationClient *client : clients_) {
    if (client != nullptr) {
      picked[count++] = client;
    }
  }
  if (!withdrawalWaits) {
    guard.unlock();
  }
  CallbackScope scope;
  for (int i = 0; i < count; ++i) {
    picked[i]->OnDefaultDeviceChanged(flow, role, id);
  }
}

BOOL FakeAudioService::queueWork(LPTHREAD_START_ROUTINE function, LPVOID context) {
  Call call{Step::QueueUserWorkItem};
  call.pointer = reinterpret_cast<const void *>(function);
  record(call);
  if (FAILED(statusOf(Step::QueueUserWorkItem))) {
    return 0;
  }
  ServiceLockGuard guard(workLock_);
  if (workMode == WorkMode::Thread) {
    workThreads_.emplace_back(runWorkItem, function, context);
  } else {
    work_.push_back(WorkItem{function, context});
  }
  return 1;
}

int FakeAudioService::runQueuedWork() {
  int ran = 0;
  for (;;) {
    WorkItem item{};
    {
      ServiceLockGuard guard(workLock_);
      if (work_.empty()) {
        return ran;
      }
      item = work_.front();
      work_.erase(work_.begin());
    }
    std::thread(runWorkItem, item.function, item.context).join();
    ++ran;
  }
}

int FakeAudioService::queuedWork() const {
  ServiceLockGuard guard(workLock_);
  return static_cast<int>(work_.size());
}

void FakeAudioService::joinWork() {
  for (;;) {
    std::vector<std::thread> threads;
    {
      ServiceLockGuard guard(workLock_);
      threads.swap(workThreads_);
    }
    if (threads.empty()) {
      return;
    }
    for (std::thread &thread : threads) {
      thread.join();
    }
  }
}

HRESULT FakeAudioService::createEnumerator(IUnknown *outer, REFIID riid, void **ppv) {
  if (ppv == nullptr) {
    return E_POINTER;
  }
  *ppv = nullptr;
  const HRESULT status = statusOf(Step::CoCreateInstance);
  if (FAILED(status)) {
    return status;
  }
  constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);
  if (outer != nullptr) {
    return kNoAggregation;
  }
  for (FakeEnumerator &each : enumerators) {
    if (each.references() == 0) {
      each.lost = S_OK;
      return each.QueryInterface(riid, ppv);
    }
  }
  return E_FAIL;
}

FakeEndpointVolume *FakeAudioService::freeVolume() {
  for (FakeEndpointVolume &volume : volumes) {
    if (volume.references() == 0) {
      return &volume;
    }
  }
  return nullptr;
}

int deviceOf(IAudioEndpointVolume *volume) {
  return volume == nullptr ? -1 : static_cast<FakeEndpointVolume *>(volume)->device()->index();
}

std::vector<Step> withoutReleases(const std::vector<Step> &steps) {
  std::vector<Step> result;
  for (Step step : steps) {
    if (step != Step::Release) {
      result.push_back(step);
    }
  }
  return result;
}

FakeAudioService &audio() {
  static FakeAudioService service;
  return service;
}

} // namespace fake
