// The architecture this build targets, and the function-level target attributes of the
// instruction-set extensions our own code uses: one binary runs on every CPU of its
// architecture, and only functions marked here may use an extension (after a check of the
// CPU-feature record).
//
// Loops generic over an AES backend are templates without attributes. A backend instantiates
// them inside a wrapper that carries its target and `flatten`, which inlines the loop and the
// block operations into the wrapper, so its instances call no function per block.
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

#if DALLOWGATE_X86
// Every CPU with AES-NI also has SSSE3 (and SSE4.1), which the counter arithmetic uses.
#define AES_TARGET __attribute__((target("aes,ssse3")))
#define AES_AVX_TARGET __attribute__((target("aes,ssse3,avx")))
#define VAES_TARGET __attribute__((target("aes,ssse3,avx,avx2,vaes")))
#define AES_LOOP_WRAPPER __attribute__((target("aes,ssse3"), flatten))
#define AES_AVX_LOOP_WRAPPER __attribute__((target("aes,ssse3,avx"), flatten))
#define VAES_LOOP_WRAPPER __attribute__((target("aes,ssse3,avx,avx2,vaes"), flatten))
// The SHA extensions come with SSE4.1 on every CPU that has them.
#define SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#define SHA_LOOP_WRAPPER __attribute__((target("sha,sse4.1,ssse3"), flatten))
// AES-NI and the SHA extensions together, for work that interleaves the two.
#define AES_SHA_LOOP_WRAPPER __attribute__((target("aes,sha,sse4.1,ssse3"), flatten))
#endif

#if DALLOWGATE_AARCH64
// The ARMv8 Cryptographic Extension: GCC names its AES and SHA-2 instructions together
// ("crypto"), clang each apart.
#if defined(__clang__)
#define ARM_AES_TARGET __attribute__((target("aes")))
#define ARM_SHA2_TARGET __attribute__((target("sha2")))
#define ARM_AES_LOOP_WRAPPER __attribute__((target("aes"), flatten))
#define ARM_SHA2_LOOP_WRAPPER __attribute__((target("sha2"), flatten))
#define ARM_AES_SHA2_LOOP_WRAPPER __attribute__((target("aes,sha2"), flatten))
#define ARM_EOR3_TARGET __attribute__((target("aes,sha3")))
#define ARM_AES_EOR3_LOOP_WRAPPER __attribute__((target("aes,sha3"), flatten))
#else
#define ARM_AES_TARGET __attribute__((target("+crypto")))
#define ARM_SHA2_TARGET __attribute__((target("+crypto")))
#define ARM_AES_LOOP_WRAPPER __attribute__((target("+crypto"), flatten))
#define ARM_SHA2_LOOP_WRAPPER __attribute__((target("+crypto"), flatten))
#define ARM_AES_SHA2_LOOP_WRAPPER __attribute__((target("+crypto"), flatten))
// EOR3 comes with the SHA3 extension of ARMv8.2, which GCC makes available only with that
// architecture named.
#define ARM_EOR3_TARGET __attribute__((target("arch=armv8.2-a+crypto+sha3")))
#define ARM_AES_EOR3_LOOP_WRAPPER __attribute__((target("arch=armv8.2-a+crypto+sha3"), flatten))
#endif
#endif
