// Function-level target attributes for the AES-NI code, so that one binary runs on CPUs with
// and without the AES instructions: only functions marked here may use them.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define DALLOWGATE_X86 1
// Functions that may contain AES instructions (the mode loops, instantiated for both
// backends: the compiler emits AES instructions only where the code asks for them).
#define AES_TARGET __attribute__((target("aes")))
// The AES-NI block operations, inlined into the mode loops.
#define AES_INLINE __attribute__((target("aes"), always_inline)) inline
#else
#define DALLOWGATE_X86 0
#define AES_TARGET
#define AES_INLINE inline
#endif
