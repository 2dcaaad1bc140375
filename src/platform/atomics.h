// Atomic values over the compilers' own intrinsics, so that the library
// needs no standard library header: the MSVC toolchain's build has none.
// The subset of std::atomic the library uses, with its default of
// sequentially consistent operations unless a call names a weaker order.
//
// MSVC-style compilers (cl, clang-cl) use the _Interlocked functions. The
// DLL is built for x86 and x64 only, where each of those is a full barrier
// and an aligned load or store of a word is atomic: a load or a weaker
// store is a volatile access the compiler may not move other accesses
// across, and a sequentially consistent store is an exchange, as the
// MSVC standard library does it. GCC and clang use the __atomic builtins,
// which are what std::atomic compiles to there and which ThreadSanitizer
// instruments.
#pragma once

#ifdef _MSC_VER
#if !defined(_M_IX86) && !defined(_M_X64)
#error "atomics.h relies on x86 or x64 ordering under MSVC"
#endif
#include <intrin.h>
#endif

namespace quorvel {

#ifdef _MSC_VER
enum class MemoryOrder { relaxed, release, seqCst };
#else
enum class MemoryOrder {
  relaxed = __ATOMIC_RELAXED,
  release = __ATOMIC_RELEASE,
  seqCst = __ATOMIC_SEQ_CST
};
#endif

// T is an integer of 32 bits (LONG), a bool or a pointer.
template <typename T> class Atomic {
public:
  constexpr Atomic() : value_{} {}
  constexpr Atomic(T value) : value_(value) {}
  Atomic(const Atomic &) = delete;
  Atomic &operator=(const Atomic &) = delete;

  T load(MemoryOrder order = MemoryOrder::seqCst) const {
#ifdef _MSC_VER
    (void)order;
    const T value = *static_cast<const volatile T *>(&value_);
    _ReadWriteBarrier();
    return value;
#else
    return __atomic_load_n(&value_, static_cast<int>(order));
#endif
  }

  void store(T value, MemoryOrder order = MemoryOrder::seqCst) {
#ifdef _MSC_VER
    if (order == MemoryOrder::seqCst) {
      exchange(value);
      return;
    }
    _ReadWriteBarrier();
    *static_cast<volatile T *>(&value_) = value;
#else
    __atomic_store_n(&value_, value, static_cast<int>(order));
#endif
  }

  T exchange(T value) {
#ifdef _MSC_VER
    if constexpr (sizeof(T) == 1) {
      return __builtin_bit_cast(T, _InterlockedExchange8(reinterpret_cast<volatile char *>(&value_),
                                                         __builtin_bit_cast(char, value)));
    } else if constexpr (sizeof(T) == 4) {
      return __builtin_bit_cast(T, _InterlockedExchange(reinterpret_cast<volatile long *>(&value_),
                                                        __builtin_bit_cast(long, value)));
    } else {
#ifdef _WIN64
      return __builtin_bit_cast(
          T, _InterlockedExchange64(reinterpret_cast<volatile __int64 *>(&value_),
                                    __builtin_bit_cast(__int64, value)));
#endif
    }
#else
    return __atomic_exchange_n(&value_, value, __ATOMIC_SEQ_CST);
#endif
  }

  T fetch_add(T delta) {
#ifdef _MSC_VER
    return _InterlockedExchangeAdd(&value_, delta);
#else
    return __atomic_fetch_add(&value_, delta, __ATOMIC_SEQ_CST);
#endif
  }

  T fetch_sub(T delta, MemoryOrder order = MemoryOrder::seqCst) {
#ifdef _MSC_VER
    (void)order;
    return _InterlockedExchangeAdd(&value_, -delta);
#else
    return __atomic_fetch_sub(&value_, delta, static_cast<int>(order));
#endif
  }

  // On failure, expected becomes the value found.
  bool compare_exchange_weak(T &expected, T desired) {
#ifdef _MSC_VER
    const T found = _InterlockedCompareExchange(&value_, desired, expected);
    if (found == expected) {
      return true;
    }
    expected = found;
    return false;
#else
    return __atomic_compare_exchange_n(&value_, &expected, desired, true, __ATOMIC_SEQ_CST,
                                       __ATOMIC_SEQ_CST);
#endif
  }

private:
  T value_;
};

} // namespace quorvel
