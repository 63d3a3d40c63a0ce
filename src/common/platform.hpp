// The architecture this build targets, and how our code is compiled for the instruction-set
// extensions it uses: one binary runs on every CPU of its architecture, and only code compiled
// for an extension may use it (after a check of the CPU-feature record).
//
// - A backend's own functions carry their target as an attribute (AES_TARGET, ...), and those
//   that loops call per block are DALLOWGATE_INLINE: always inlined, by GCC and clang alike,
//   into any function compiled for at least their target (and refused by both elsewhere).
// - Code generic over a backend (the mode loops, keystream batches, SHA-256 padding) is written
//   once in headers of its own, with no target. A file that runs it on a backend includes those
//   headers inside a target region (DALLOWGATE_BEGIN_TARGET_REGION(features) ...
//   DALLOWGATE_END_TARGET_REGION), where every function defined gets the region's target, so
//   that callers and callees share it and inline alike under both compilers. Everything else a
//   region's file includes comes before the region opens: an inline function of a shared
//   header compiled inside a region would carry its instructions to every other caller.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define DALLOWGATE_X86 1
#else
#define DALLOWGATE_X86 0
#endif

#if defined(__aarch64__) || defined(_M_ARM64)
#define DALLOWGATE_AARCH64 1
#else
#define DALLOWGATE_AARCH64 0
#endif

#define DALLOWGATE_INLINE inline __attribute__((always_inline))

#define DALLOWGATE_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define DALLOWGATE_BEGIN_TARGET_REGION(features) \
    DALLOWGATE_PRAGMA(clang attribute push(__attribute__((target(features))), apply_to = function))
#define DALLOWGATE_END_TARGET_REGION DALLOWGATE_PRAGMA(clang attribute pop)
#else
#define DALLOWGATE_BEGIN_TARGET_REGION(features) \
    DALLOWGATE_PRAGMA(GCC push_options) DALLOWGATE_PRAGMA(GCC target(features))
#define DALLOWGATE_END_TARGET_REGION DALLOWGATE_PRAGMA(GCC pop_options)
#endif

#if DALLOWGATE_X86
// Every CPU with AES-NI also has SSSE3 (and SSE4.1), which the counter arithmetic uses.
#define AES_FEATURES "aes,ssse3"
#define AES_AVX_FEATURES "aes,ssse3,avx"
#define VAES_FEATURES "aes,ssse3,avx,avx2,vaes"
// VAES on 512-bit registers: AVX-512 F for the registers and the 64-bit adds, BW for the byte
// shuffles, VL for the EVEX forms (and the 32 registers) of the 128-bit operations beside them.
#define VAES512_FEATURES "aes,ssse3,avx,avx2,vaes,avx512f,avx512bw,avx512vl"
// The SHA extensions come with SSE4.1 on every CPU that has them.
#define SHA_FEATURES "sha,sse4.1,ssse3"
// AES-NI and the SHA extensions together, for work that interleaves the two.
#define AES_SHA_FEATURES "aes,sha,sse4.1,ssse3"
#define AES_TARGET __attribute__((target(AES_FEATURES)))
#define AES_AVX_TARGET __attribute__((target(AES_AVX_FEATURES)))
#define VAES_TARGET __attribute__((target(VAES_FEATURES)))
#define VAES512_TARGET __attribute__((target(VAES512_FEATURES)))
#define SHA_TARGET __attribute__((target(SHA_FEATURES)))
#endif

#if DALLOWGATE_AARCH64
// The ARMv8 Cryptographic Extension: GCC names its AES and SHA-2 instructions together
// ("crypto"), clang each apart. EOR3 comes with the SHA3 extension of ARMv8.2, which GCC makes
// available only with that architecture named.
#if defined(__clang__)
#define ARM_AES_FEATURES "aes"
#define ARM_SHA2_FEATURES "sha2"
#define ARM_AES_SHA2_FEATURES "aes,sha2"
#define ARM_AES_EOR3_FEATURES "aes,sha3"
#else
#define ARM_AES_FEATURES "+crypto"
#define ARM_SHA2_FEATURES "+crypto"
#define ARM_AES_SHA2_FEATURES "+crypto"
#define ARM_AES_EOR3_FEATURES "arch=armv8.2-a+crypto+sha3"
#endif
#define ARM_AES_TARGET __attribute__((target(ARM_AES_FEATURES)))
#define ARM_SHA2_TARGET __attribute__((target(ARM_SHA2_FEATURES)))
#define ARM_EOR3_TARGET __attribute__((target(ARM_AES_EOR3_FEATURES)))
#endif
