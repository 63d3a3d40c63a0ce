// Function-level target attributes for the AES-NI code, so that one binary runs on CPUs with
// and without the AES instructions: only functions marked here may use them.
//
// Mode loops are templates without attributes. They are instantiated inside a wrapper that
// carries the target and `flatten`, which inlines the loop and the block operations into the
// wrapper, so the AES-NI instances call no function per block.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define DALLOWGATE_X86 1
// Every CPU with AES-NI also has SSSE3 (and SSE4.1), which the counter arithmetic uses.
#define AES_TARGET __attribute__((target("aes,ssse3")))
#define AES_AVX_TARGET __attribute__((target("aes,ssse3,avx")))
#define VAES_TARGET __attribute__((target("aes,ssse3,avx,avx2,vaes")))
#define AES_LOOP_WRAPPER __attribute__((target("aes,ssse3"), flatten))
#define VAES_LOOP_WRAPPER __attribute__((target("aes,ssse3,avx,avx2,vaes"), flatten))
#else
#define DALLOWGATE_X86 0
#endif
