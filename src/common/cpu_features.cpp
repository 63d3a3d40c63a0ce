#include "common/cpu_features.hpp"

#include "common/platform.hpp"

#if DALLOWGATE_X86
#include <cpuid.h>
#elif DALLOWGATE_AARCH64 && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#elif DALLOWGATE_AARCH64 && defined(__APPLE__)
#include <sys/sysctl.h>
#elif DALLOWGATE_AARCH64 && defined(_WIN32)
#include <windows.h>
#endif

namespace dallowgate {
namespace {

#if DALLOWGATE_X86

bool cpuid(unsigned leaf, unsigned subleaf, unsigned (&r)[4]) {
    return __get_cpuid_count(leaf, subleaf, &r[0], &r[1], &r[2], &r[3]) != 0;
}

bool bit(unsigned word, int n) {
    return (word >> n) & 1;
}

CpuFeatures read_features() {
    CpuFeatures f;
    unsigned leaf1[4], leaf7[4];
    if (!cpuid(1, 0, leaf1)) return f;
    const unsigned ecx1 = leaf1[2];
    f.aesni = bit(ecx1, 25);
    f.ssse3 = bit(ecx1, 9);
    const bool sse41 = bit(ecx1, 19);
    if (bit(ecx1, 27) && bit(ecx1, 28)) {  // OSXSAVE and AVX
        unsigned low, high;
        __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        f.avx = (low & 0x6) == 0x6;  // XMM and YMM state enabled
    }
    if (cpuid(7, 0, leaf7)) {
        f.vaes = f.avx && bit(leaf7[1], 5) && bit(leaf7[2], 9);  // AVX2 and VAES
        f.sha_ni = sse41 && bit(leaf7[1], 29);
    }
    return f;
}

#elif DALLOWGATE_AARCH64

#if defined(__APPLE__)
// The flag, or true where this macOS predates it: every Apple CPU has AES, SHA-256 and SHA3.
bool sysctl_flag(const char* name) {
    int value = 0;
    size_t size = sizeof value;
    return sysctlbyname(name, &value, &size, nullptr, 0) != 0 || value != 0;
}
#endif

CpuFeatures read_features() {
    CpuFeatures f;
#if defined(__linux__)
    const unsigned long hwcap = getauxval(AT_HWCAP);
    f.arm_aes = hwcap & HWCAP_AES;
    f.arm_sha2 = hwcap & HWCAP_SHA2;
#ifdef HWCAP_SHA3
    f.arm_sha3 = hwcap & HWCAP_SHA3;
#endif
#elif defined(__APPLE__)
    f.arm_aes = sysctl_flag("hw.optional.arm.FEAT_AES");
    f.arm_sha2 = sysctl_flag("hw.optional.arm.FEAT_SHA256");
    f.arm_sha3 = sysctl_flag("hw.optional.arm.FEAT_SHA3");
#elif defined(_WIN32)
    // One flag stands for the AES, SHA-1 and SHA-256 instructions together.
    f.arm_aes = f.arm_sha2 = IsProcessorFeaturePresent(PF_ARM_V8_CRYPTO_INSTRUCTIONS_AVAILABLE);
#ifdef PF_ARM_SHA3_INSTRUCTIONS_AVAILABLE
    f.arm_sha3 = IsProcessorFeaturePresent(PF_ARM_SHA3_INSTRUCTIONS_AVAILABLE);
#endif
#endif
    return f;
}

#else

CpuFeatures read_features() {
    return {};
}

#endif

}  // namespace

namespace detail {
#if defined(__GNUC__) && !defined(__APPLE__)
__attribute__((init_priority(101)))
#endif
const CpuFeatures cpu_features_record = read_features();
}  // namespace detail

}  // namespace dallowgate
