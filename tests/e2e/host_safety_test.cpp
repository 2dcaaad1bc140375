// What real hosts do that the library must survive: unloading it while
// bound or mid-delivery, and letting go on a thread other than the binding
// one. Each test runs in a process of its own (see CMakeLists.txt): the
// first binding pins the DLL for good, and a crash must fail only its test.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fake_audio.h"
#include "host_module.h"
#include "stand_in_factory.h"
#include "stand_in_fixture.h"

using fake::audio;
using fake::Step;

namespace {

struct Host {
  static inline std::atomic<int> calls{0};
  static inline std::atomic<int> percent{-1};
  // When set, the callback signals entered and waits for release.
  static inline HANDLE entered = nullptr;
  static inline HANDLE release = nullptr;

  static int QUORVEL_CALL callback(int, int newPercent) {
    percent = newPercent;
    if (entered != nullptr) {
      SetEvent(entered);
      WaitForSingleObject(release, INFINITE);
    }
    ++calls;
    return 0;
  }
};

bool dllLoaded() { return GetModuleHandleW(L"Quorvel.dll") != nullptr; }

using HostSafety = StandInHostTest;

} // namespace

TEST_F(HostSafety, FreeLibraryWhileBoundThenAChangeStillReachesTheHost) {
  {
    HostModule dll;
    ASSERT_TRUE(dll.complete());
    ASSERT_EQ(dll.InitEndPoint(&Host::callback), 1);
  } // FreeLibrary without UninitEndPoint
  EXPECT_TRUE(dllLoaded()) << "pinned by the binding";

  // Another program changes the volume; the service calls the sink.
  IAudioEndpointVolume *other = fake::openOtherClient();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->SetMasterVolumeLevelScalar(0.3f, nullptr), S_OK);
  EXPECT_EQ(Host::calls, 1);
  EXPECT_EQ(Host::percent, 30);
  other->Release();
}

TEST_F(HostSafety, UninitAndFreeLibraryDuringADeliveryThenItCompletes) {
  auto *dll = new HostModule;
  ASSERT_TRUE(dll->complete());
  ASSERT_EQ(dll->InitEndPoint(&Host::callback), 1);
  IAudioEndpointVolumeCallback *sink = fake::registeredSink();
  ASSERT_NE(sink, nullptr);

  Host::entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Host::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // The service holds its own reference across the call, as COM allows.
  sink->AddRef();
  std::thread delivery([sink] {
    AUDIO_VOLUME_NOTIFICATION_DATA record{};
    record.fMasterVolume = 0.5f;
    record.nChannels = 1;
    sink->OnNotify(&record);
    sink->Release();
  });
  ASSERT_EQ(WaitForSingleObject(Host::entered, 10000), WAIT_OBJECT_0);

  EXPECT_EQ(dll->UninitEndPoint(), 1);
  delete dll; // FreeLibrary while OnNotify is still on the stack
  SetEvent(Host::release);
  delivery.join();

  EXPECT_EQ(Host::calls, 1);
  EXPECT_EQ(Host::percent, 50);
  EXPECT_TRUE(dllLoaded());
  EXPECT_EQ(audio().outstandingReferences(), 0);
  CloseHandle(Host::entered);
  CloseHandle(Host::release);
}

TEST_F(HostSafety, LettingGoOnAnotherThreadLeavesThatThreadsComAlone) {
  HostModule dll;
  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);

  std::thread other([&dll] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(dll.UninitEndPoint(), 1);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE)
        << "this thread's own COM must still be initialised";
    CoUninitialize();
    CoUninitialize();
  });
  other.join();
  EXPECT_EQ(audio().outstandingReferences(), 0) << "released from the other thread";

  // Back on the binding thread, a let go undoes the library's own
  // initialisation: exactly one remains, the host's.
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  CoUninitialize();
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
}

TEST_F(HostSafety, FailedBindsOnWorkersLeaveTheMainThreadsComIntact) {
  HostModule dll;
  // Whether a worker reaches the stand-in or Wine's own service (run with no
  // output device), its binding fails.
  audio().failAt(Step::GetDefaultAudioEndpoint);
  for (int i = 0; i < 2; ++i) {
    std::thread([&dll] { EXPECT_EQ(dll.InitEndPoint(nullptr), 0); }).join();
  }
  audio().clearFaults();

  ASSERT_EQ(dll.InitEndPoint(nullptr), 1);
  EXPECT_EQ(dll.UninitEndPoint(), 1);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE)
      << "the host's own apartment must survive";
  CoUninitialize();
  IAudioEndpointVolume *volume = fake::openOtherClient();
  EXPECT_NE(volume, nullptr) << "and its class registration with it";
  if (volume != nullptr) {
    volume->Release();
  }
}
