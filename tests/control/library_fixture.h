// A test fixture over the library's global state and the fake platform.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "control/endpoint_state.h"
#include "fake_audio.h"
#include "fake_com_runtime.h"
#include "notify/volume_callback.h"
#include "quorvel.h"

// Records what reaches the host function.
struct HostRecorder {
  static inline std::atomic<int> calls{0};
  static inline std::atomic<int> lastMuted{-1};
  static inline std::atomic<int> lastPercent{-1};
  static inline std::atomic<unsigned long> lastThread{0};

  static int QUORVEL_CALL callback(int muted, int percent) {
    lastMuted = muted;
    lastPercent = percent;
    lastThread = fake::currentThreadId();
    ++calls;
    return 0;
  }
  static void reset() {
    calls = 0;
    lastMuted = -1;
    lastPercent = -1;
    lastThread = 0;
  }
};

// Count of notifySink now; AddRef/Release leave it where it was.
inline ULONG sinkReferences() {
  quorvel::notifySink.AddRef();
  return quorvel::notifySink.Release();
}

class LibraryTest : public ::testing::Test {
protected:
  void SetUp() override { resetAll(); }
  void TearDown() override {
    // Whatever a test leaves bound, unbinding gives all of it back.
    fake::audio().clearFaults();
    UninitEndPoint();
    EXPECT_EQ(fake::audio().outstandingReferences(), 0);
    EXPECT_EQ(fake::audio().overReleases(), 0);
    EXPECT_EQ(fake::audio().sinkCount(), 0);
    EXPECT_EQ(fake::audio().clientCount(), 0);
    EXPECT_EQ(sinkReferences(), 1u);
    EXPECT_EQ(fake::com().unbalancedUninitialise, 0);
    EXPECT_EQ(fake::com().allocationsOutstanding, 0);
    EXPECT_EQ(fake::audio().callbackViolations(), 0);
    EXPECT_EQ(fake::audio().usesAfterRelease(), 0);
    EXPECT_EQ(fake::com().mtaUsages, 0);
    resetAll();
  }

  static void resetAll() {
    fake::audio().clearFaults();
    UninitEndPoint();
    // This call, too, may only undo initialisations the library made.
    EXPECT_EQ(fake::com().unbalancedUninitialise, 0);
    fake::audio().reset();
    fake::com().reset();
    HostRecorder::reset();
  }

  static quorvel::EndpointState &state() { return quorvel::endpointState; }
};
