// Force-included by the clang-cl toolchain, ahead of Wine's Windows headers
// (libwine-dev), to give them what they give MSVC-style compilers other
// than clang-cl. Not used with the Windows SDK.
#pragma once

// For MSVC-style compilers, winnt.h defines its own inline fallbacks for
// the interlocked functions that MSVC lacks on the target (x86: the 64-bit
// and pointer forms; x64: the 128-bit exchange), under the intrinsics'
// names. clang has every one of them built in, and refuses a definition of
// a builtin, so the fallbacks are defined under other names instead.
#ifdef _M_IX86
#define _InterlockedAnd64 wine_InterlockedAnd64
#define _InterlockedCompareExchangePointer wine_InterlockedCompareExchangePointer
#define _InterlockedDecrement64 wine_InterlockedDecrement64
#define _InterlockedExchangeAdd64 wine_InterlockedExchangeAdd64
#define _InterlockedExchangePointer wine_InterlockedExchangePointer
#define _InterlockedIncrement64 wine_InterlockedIncrement64
#define _InterlockedOr64 wine_InterlockedOr64
#define _InterlockedXor64 wine_InterlockedXor64
#else
#define _InterlockedCompareExchange128 wine_InterlockedCompareExchange128
#endif

// rpcndr.h defines MIDL_INTERFACE(x) as a bare struct, so the interfaces
// carry no __declspec(uuid) and __uuidof finds no GUID. Each interface is
// also followed by __CRT_UUID_DECL with its GUID, which guiddef.h leaves
// to the compiler when already defined: it becomes a constant here, and
// __uuidof (of a type) reads it.
#ifdef __cplusplus
extern "C++" template <typename T> struct wine_uuidof;
#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)                           \
  extern "C++" {                                                                                   \
  template <> struct wine_uuidof<type> {                                                           \
    static constexpr GUID uuid = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};                    \
  };                                                                                               \
  }
#define __uuidof(type) wine_uuidof<type>::uuid
#endif
