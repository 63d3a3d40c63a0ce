// The CPU-feature record against answers got independently of our code: the compiler's own CPU
// model (libgcc's or compiler-rt's) where it is initialised, and on Windows the system's.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/cpu_features.hpp"
#include "common/platform.hpp"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace dallowgate {
namespace {

TEST(CpuFeatureRecord, AgreesWithIndependentAnswers) {
    const CpuFeatures& cpu = cpu_features();
    std::printf(
        "CPU features: aesni %d ssse3 %d avx %d vaes %d vaes512 %d zmm_downclocks %d "
        "sha_ni %d arm_aes %d arm_sha2 %d arm_sha3 %d\n",
        cpu.aesni, cpu.ssse3, cpu.avx, cpu.vaes, cpu.vaes512, cpu.zmm_downclocks, cpu.sha_ni,
        cpu.arm_aes, cpu.arm_sha2, cpu.arm_sha3);
    int answers = 0;
#if DALLOWGATE_X86
    EXPECT_FALSE(cpu.arm_aes || cpu.arm_sha2 || cpu.arm_sha3);
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse2")) {  // every x86-64 CPU: the model was initialised
        ++answers;
        EXPECT_EQ(cpu.aesni, __builtin_cpu_supports("aes") != 0);
        EXPECT_EQ(cpu.ssse3, __builtin_cpu_supports("ssse3") != 0);
        EXPECT_EQ(cpu.avx, __builtin_cpu_supports("avx") != 0);
        EXPECT_EQ(cpu.vaes512, cpu.vaes && __builtin_cpu_supports("avx512f") &&
                                   __builtin_cpu_supports("avx512bw") &&
                                   __builtin_cpu_supports("avx512vl"));
#if !defined(__clang__) || __clang_major__ >= 18  // older clang knows neither name
        EXPECT_EQ(cpu.vaes, __builtin_cpu_supports("vaes") && __builtin_cpu_supports("avx2"));
        EXPECT_EQ(cpu.sha_ni, __builtin_cpu_supports("sha") && __builtin_cpu_supports("sse4.1"));
#endif
    }
#if defined(_WIN32)
    // Windows names no flag for AES-NI, VAES or SHA: the others it does (36 SSSE3, 39 AVX with
    // its state saved, 40 AVX2).
    ++answers;
    EXPECT_EQ(cpu.ssse3, IsProcessorFeaturePresent(36) != 0);
    EXPECT_EQ(cpu.avx, IsProcessorFeaturePresent(39) != 0);
    if (cpu.vaes) EXPECT_TRUE(IsProcessorFeaturePresent(40)) << "VAES is taken with AVX2";
#endif
#else
    EXPECT_FALSE(cpu.aesni || cpu.ssse3 || cpu.avx || cpu.vaes || cpu.sha_ni);
#endif
    if (!answers) GTEST_SKIP() << "no independent answer on this platform";
}

}  // namespace
}  // namespace dallowgate
