#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "notify/volume_callback.h"

using quorvel::CAudioEndpointVolumeCallback;

TEST(ConcurrencySink, AddRefAndReleaseFromEightThreadsEndWhereTheyStarted) {
  CAudioEndpointVolumeCallback sink;
  constexpr int kThreads = 8;
  constexpr int kRounds = 50000;
  std::atomic<int> belowOwnHold{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        sink.AddRef();
        // Every thread holds one reference here, so the count stays above 1.
        if (sink.Release() < 1) {
          ++belowOwnHold;
        }
      }
    });
  }
  for (std::thread &thread : threads) {
    thread.join();
  }
  EXPECT_EQ(belowOwnHold, 0);
  EXPECT_EQ(sink.AddRef(), 2u);
  EXPECT_EQ(sink.Release(), 1u);
}

TEST(ConcurrencySink, UnbalancedReleasesRacingNeverWrapBelowZero) {
  CAudioEndpointVolumeCallback sink;
  for (int i = 0; i < 99; ++i) {
    sink.AddRef();
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        sink.Release();
      }
    });
  }
  for (std::thread &thread : threads) {
    thread.join();
  }
  EXPECT_EQ(sink.AddRef(), 1u) << "100 holds, 8000 releases: stops at 0";
}
