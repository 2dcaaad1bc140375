// Keeps a volume control alive while a control uses it, without a lock,
// and lets whoever takes it away wait only for the calls that may use it.
//
// The held control lives in one of two slots, each with its own count of
// the controls using it, and a pointer names the current slot. A control
// counts itself in on the slot it read, then reads the pointer again: if it
// still names that slot, the control uses the slot's control and counts
// itself out when it is done; if a remover switched slots meanwhile, it
// counts itself out and tries again with the new slot. The controls never
// wait.
//
// A remover (a move to a new default, a rebind, UninitEndPoint) puts the
// new control in the idle slot, switches the pointer to it, withdraws from
// the old control and waits until the old slot's count has been zero once.
// Every control using the old control counted itself in on the old slot
// before the switch (its second read still named that slot), so the
// remover sees it; a control that starts after the switch counts itself
// in on the new slot and never holds the remover back, however busy the
// host keeps the controls. Sequentially consistent operations on both
// sides give these orders. The idle slot is written only once its count
// has drained, by the remover before, and a control reads a slot's control
// only after the pointer named that slot, so the write is seen.
//
// Removers run one at a time (moves are serialised, and UninitEndPoint
// waits for them first) and never inside a platform callback: on the
// host's thread in UninitEndPoint, on the thread pool in a move. A counted
// control holds nothing a remover holds, so the wait cannot deadlock.
#pragma once

#include "platform/atomics.h"

#include "platform/platform.h"

namespace quorvel {

struct VolumeSlot {
  // Controls counted in on this slot and not yet out.
  Atomic<LONG> inUse;
  // Null while nothing is bound.
  IAudioEndpointVolume *volume;
};

#ifdef _WIN32
inline void countIn(VolumeSlot &slot) { slot.inUse.fetch_add(1); }
#else
// The portable build's platform counts a control in, so that its tests can
// act between a control's read of the slot and its count-in.
void countIn(VolumeSlot &slot);
#endif

// The held endpoint volume control.
class HeldVolume {
public:
  constexpr HeldVolume() = default;
  HeldVolume(const HeldVolume &) = delete;
  HeldVolume &operator=(const HeldVolume &) = delete;

  IAudioEndpointVolume *load() const { return current_.load()->volume; }
  // Puts next in the idle slot and makes it current; returns the slot it
  // replaced. Removers only, one at a time.
  VolumeSlot &exchange(IAudioEndpointVolume *next) {
    VolumeSlot *old = current_.load();
    VolumeSlot *idle = old == &slots_[0] ? &slots_[1] : &slots_[0];
    idle->volume = next;
    current_.store(idle);
    return *old;
  }

private:
  friend class ControlGuard;
  VolumeSlot slots_[2]{};
  Atomic<VolumeSlot *> current_{&slots_[0]};
};

class ControlGuard {
public:
  explicit ControlGuard(const HeldVolume &held) : slot_(held.current_.load()) {
    countIn(*slot_);
    VolumeSlot *now = held.current_.load();
    if (now != slot_) [[unlikely]] {
      // Slots switched meanwhile: count out there and in on the current
      // one, until the pointer still names it afterwards.
      do {
        slot_->inUse.fetch_sub(1);
        slot_ = now;
        countIn(*slot_);
        now = held.current_.load();
      } while (now != slot_);
    }
  }
  ~ControlGuard() { slot_->inUse.fetch_sub(1, MemoryOrder::release); }
  ControlGuard(const ControlGuard &) = delete;
  ControlGuard &operator=(const ControlGuard &) = delete;

  // The control to use; null while nothing is bound.
  IAudioEndpointVolume *volume() const { return slot_->volume; }

private:
  VolumeSlot *slot_;
};

} // namespace quorvel
