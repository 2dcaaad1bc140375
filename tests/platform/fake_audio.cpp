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

struct DeliveryJob {
  FakeAudioService *service;
  AUDIO_VOLUME_NOTIFICATION_DATA *record;
};

void deliverOnThread(void *arg) {
  auto *job = static_cast<DeliveryJob *>(arg);
  job->service->notifySinks(job->record);
}

} // namespace

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
                                                 "SetMasterVolumeLevelScalar",
                                                 "GetMasterVolumeLevelScalar",
                                                 "SetMute",
                                                 "GetMute",
                                                 "Release"};
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
  return static_cast<ULONG>(now - 1);
}

// ---- FakeEndpointVolume ----

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::QueryInterface(REFIID riid, void **ppv) {
  return answerQuery(this, riid, kIidIAudioEndpointVolume, ppv);
}

HRESULT STDMETHODCALLTYPE
FakeEndpointVolume::RegisterControlChangeNotify(IAudioEndpointVolumeCallback *sink) {
  Call call{Step::RegisterControlChangeNotify};
  call.pointer = sink;
  service_.record(call);
  const HRESULT status = service_.statusOf(Step::RegisterControlChangeNotify);
  return FAILED(status) ? status : service_.registerSink(sink);
}

HRESULT STDMETHODCALLTYPE
FakeEndpointVolume::UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *sink) {
  Call call{Step::UnregisterControlChangeNotify};
  call.pointer = sink;
  service_.record(call);
  const HRESULT status = service_.statusOf(Step::UnregisterControlChangeNotify);
  return FAILED(status) ? status : service_.unregisterSink(sink);
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::SetMasterVolumeLevelScalar(float level,
                                                                         LPCGUID context) {
  Call call{Step::SetMasterVolumeLevelScalar};
  call.level = level;
  call.hasContext = context != nullptr;
  if (context != nullptr) {
    call.eventContext = *context;
  }
  service_.record(call);
  const HRESULT status = service_.statusOf(Step::SetMasterVolumeLevelScalar);
  if (FAILED(status)) {
    return status;
  }
  if (!(level >= 0.0f && level <= 1.0f)) {
    return E_INVALIDARG;
  }
  service_.applyChange(level, service_.muted.load(), context);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::GetMasterVolumeLevelScalar(float *level) {
  service_.record(Call{Step::GetMasterVolumeLevelScalar});
  const HRESULT status = service_.statusOf(Step::GetMasterVolumeLevelScalar);
  if (FAILED(status)) {
    return status;
  }
  if (level == nullptr) {
    return E_POINTER;
  }
  *level = service_.level.load();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::SetMute(BOOL muted, LPCGUID context) {
  Call call{Step::SetMute};
  call.flag = muted;
  call.hasContext = context != nullptr;
  if (context != nullptr) {
    call.eventContext = *context;
  }
  service_.record(call);
  const HRESULT status = service_.statusOf(Step::SetMute);
  if (FAILED(status)) {
    return status;
  }
  service_.applyChange(service_.level.load(), muted, context);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeEndpointVolume::GetMute(BOOL *muted) {
  service_.record(Call{Step::GetMute});
  const HRESULT status = service_.statusOf(Step::GetMute);
  if (FAILED(status)) {
    return status;
  }
  if (muted == nullptr) {
    return E_POINTER;
  }
  *muted = service_.muted.load();
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
  service_.record(call);
  if (ppv == nullptr) {
    return E_POINTER;
  }
  *ppv = nullptr;
  const HRESULT status = service_.statusOf(Step::Activate);
  if (FAILED(status)) {
    return status;
  }
  FakeEndpointVolume *volume = service_.freeVolume();
  if (volume == nullptr) {
    return E_FAIL;
  }
  return volume->QueryInterface(iid, ppv);
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
  const HRESULT status = service_.statusOf(Step::GetDefaultAudioEndpoint);
  if (FAILED(status)) {
    return status;
  }
  // The fake has one playback device and nothing to record from.
  if (service_.noDevice || dataFlow != eRender) {
    return kNotFound;
  }
  service_.device.AddRef();
  *device = &service_.device;
  return S_OK;
}

// ---- FakeAudioService ----

FakeAudioService::FakeAudioService()
    : enumerator(*this),
      device(*this), volumes{FakeEndpointVolume(*this), FakeEndpointVolume(*this),
                             FakeEndpointVolume(*this), FakeEndpointVolume(*this)} {
  reset();
}

void FakeAudioService::reset() {
  ServiceLockGuard guard(lock_);
  calls_.clear();
  for (HRESULT &fault : faults_) {
    fault = S_OK;
  }
  {
    ServiceLockGuard sinkGuard(sinkLock_);
    for (IAudioEndpointVolumeCallback *&sink : sinks_) {
      sink = nullptr;
    }
    sinkCount_ = 0;
  }
  enumerator.resetReferences();
  device.resetReferences();
  for (FakeEndpointVolume &volume : volumes) {
    volume.resetReferences();
  }
  overReleases_ = 0;
  level = 1.0f;
  muted = 0;
  delivery = Delivery::ServiceThread;
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

LONG FakeAudioService::outstandingReferences() const {
  LONG total = enumerator.references() + device.references();
  for (const FakeEndpointVolume &volume : volumes) {
    total += volume.references();
  }
  return total;
}

HRESULT FakeAudioService::registerSink(IAudioEndpointVolumeCallback *sink) {
  if (sink == nullptr) {
    return E_POINTER;
  }
  ServiceLockGuard guard(sinkLock_);
  for (IAudioEndpointVolumeCallback *&slot : sinks_) {
    if (slot == nullptr) {
      sink->AddRef();
      slot = sink;
      ++sinkCount_;
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT FakeAudioService::unregisterSink(IAudioEndpointVolumeCallback *sink) {
  ServiceLockGuard guard(sinkLock_);
  for (IAudioEndpointVolumeCallback *&slot : sinks_) {
    if (sink != nullptr && slot == sink) {
      slot = nullptr;
      --sinkCount_;
      sink->Release();
      return S_OK;
    }
  }
  return kNotFound;
}

void FakeAudioService::applyChange(float newLevel, BOOL newMuted, LPCGUID context) {
  level = newLevel;
  // Stored and reported as given, as some platforms do (2 stays 2).
  muted = newMuted;
  AUDIO_VOLUME_NOTIFICATION_DATA record{};
  record.guidEventContext = context != nullptr ? *context : GUID{};
  record.bMuted = muted.load();
  record.fMasterVolume = newLevel;
  record.nChannels = 1;
  record.afChannelVolumes[0] = newLevel;
  if (delivery == Delivery::CallerThread) {
    notifySinks(&record);
  } else if (delivery == Delivery::ServiceThread) {
    DeliveryJob job{this, &record};
    runOnServiceThread(deliverOnThread, &job);
  }
}

// The sink lock is held while the sinks run, so no sink is called after its
// withdrawal has returned, as the platform promises.
int FakeAudioService::notifySinks(AUDIO_VOLUME_NOTIFICATION_DATA *record) {
  ServiceLockGuard guard(sinkLock_);
  int called = 0;
  for (IAudioEndpointVolumeCallback *slot : sinks_) {
    if (slot != nullptr) {
      slot->OnNotify(record);
      ++called;
    }
  }
  return called;
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
  return enumerator.QueryInterface(riid, ppv);
}

FakeEndpointVolume *FakeAudioService::freeVolume() {
  for (FakeEndpointVolume &volume : volumes) {
    if (volume.references() == 0) {
      return &volume;
    }
  }
  return nullptr;
}

FakeAudioService &audio() {
  static FakeAudioService service;
  return service;
}

} // namespace fake
