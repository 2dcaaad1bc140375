// Keeps a volume control alive while a control uses it, without a lock,
// and lets whoever takes it away wait only for the calls that may use it.
//
// The held control is published as one word with an epoch in its low bit
// (COM objects are at least 4-byte aligned). A control counts itself in
// under the epoch of the word it read, then reads the word again. If it is
// unchanged, the control uses that pointer and counts itself out when it
// is done; if a remover replaced it meanwhile, the control counts itself
// out and tries again with the new word. The controls never wait.
//
// A remover (a move to a new default, a rebind, UninitEndPoint) publishes
// the new control under the other epoch, withdraws from the old one and
// waits until the old epoch's count has been zero once. Every control using
// the old pointer counted itself under the old epoch before the swap (its
// second read saw the old word), so the remover sees it; a control that
// starts after the swap counts under the new epoch and never holds the
// remover back, however busy the host keeps the controls. Sequentially
// consistent operations on both sides give these orders. A replaced
// pointer that comes back at the same address is harmless: a control that
// sees the current word counts under the current epoch.
//
// Removers run one at a time (moves are serialised, and UninitEndPoint
// waits for them first) and never inside a platform callback: on the
// host's thread in UninitEndPoint, on the thread pool in a move. A counted
// control holds nothing a remover holds, so the wait cannot deadlock.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace quorvel {

// The held endpoint volume control and the epoch it was published under.
class HeldVolume {
public:
  static constexpr std::uintptr_t kEpoch = 1;

  constexpr HeldVolume() = default;

  IAudioEndpointVolume *load() const { return pointerOf(word_.load()); }
  // Publishes next under the other epoch and returns the word it replaced.
  // Removers only, one at a time.
  std::uintptr_t exchange(IAudioEndpointVolume *next) {
    const std::uintptr_t otherEpoch = (word_.load() & kEpoch) ^ kEpoch;
    return word_.exchange(reinterpret_cast<std::uintptr_t>(next) | otherEpoch);
  }

  static IAudioEndpointVolume *pointerOf(std::uintptr_t word) {
    return reinterpret_cast<IAudioEndpointVolume *>(word & ~kEpoch);
  }

private:
  friend class ControlGuard;
  std::atomic<std::uintptr_t> word_{0};
};

// Controls running, by the epoch they counted themselves in under.
extern constinit std::atomic<LONG> controlsInUse[2];

class ControlGuard {
public:
  explicit ControlGuard(const HeldVolume &held) {
    std::uintptr_t word = held.word_.load();
    for (;;) {
      epoch_ = word & HeldVolume::kEpoch;
      controlsInUse[epoch_].fetch_add(1);
      const std::uintptr_t again = held.word_.load();
      if (again == word) {
        break;
      }
      controlsInUse[epoch_].fetch_sub(1);
      word = again;
    }
    volume_ = HeldVolume::pointerOf(word);
  }
  ~ControlGuard() { controlsInUse[epoch_].fetch_sub(1, std::memory_order_release); }
  ControlGuard(const ControlGuard &) = delete;
  ControlGuard &operator=(const ControlGuard &) = delete;

  // The control to use; null while nothing is bound.
  IAudioEndpointVolume *volume() const { return volume_; }

private:
  std::uintptr_t epoch_;
  IAudioEndpointVolume *volume_;
};

// Returns once no control counted in under the epoch of replaced, a word
// HeldVolume::exchange returned, is still running.
void waitForControls(std::uintptr_t replaced);

} // namespace quorvel
