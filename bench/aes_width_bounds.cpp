// The throughput bounds of AES-256 on this CPU: the time of the AES-256 rounds for 1 MiB (65,536
// blocks, 14 rounds each) with independent vectors in flight and no memory traffic, on 128-bit
// AES-NI, 256-bit VAES and 512-bit VAES registers. No CTR implementation can be faster than the
// bound of the widest vectors it uses. Prints the best ns of each: aesni vaes256 vaes512 ("-"
// where the CPU lacks the instructions).
#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/cpu_features.hpp"

namespace {

constexpr long BLOCKS = 65536;
// Chains in flight: enough to fill every AES unit of the CPUs measured, and few enough that they
// and the round key stay in registers (16 of them below AVX-512, 32 with it).
constexpr int IN_FLIGHT_16 = 15, IN_FLIGHT_32 = 16;

// From the module's CPU-feature record (which also knows whether the OS saves the registers).
bool has(const char* feature) {
    const dallowgate::CpuFeatures& cpu = dallowgate::cpu_features();
    if (__builtin_strcmp(feature, "aes") == 0) return cpu.aesni && cpu.avx;
    if (__builtin_strcmp(feature, "vaes") == 0) return cpu.vaes;
    return cpu.vaes512;
}

// `chains` independent chains of rounds, each vector one round at a time across them; they are
// folded into one int at the end so that no round can be left out.
#define DEFINE_BOUND(name, features, Vector, set1, aesenc, to_int, chains)                      \
    __attribute__((target(features), noinline)) int name(long steps) {                          \
        Vector x[chains];                                                                       \
        const Vector key = set1(2);                                                             \
        _Pragma("GCC unroll 16") for (int i = 0; i < chains; ++i) x[i] = set1(i);               \
        for (long step = 0; step < steps; ++step) {                                             \
            _Pragma("GCC unroll 16") for (int i = 0; i < chains; ++i) x[i] = aesenc(x[i], key); \
        }                                                                                       \
        _Pragma("GCC unroll 16") for (int i = 1; i < chains; ++i) x[0] = aesenc(x[0], x[i]);    \
        return to_int(x[0]);                                                                    \
    }

DEFINE_BOUND(aesni, "aes,avx", __m128i, _mm_set1_epi32, _mm_aesenc_si128, _mm_cvtsi128_si32,
             IN_FLIGHT_16)
DEFINE_BOUND(vaes256, "aes,avx,avx2,vaes", __m256i, _mm256_set1_epi32, _mm256_aesenc_epi128,
             _mm256_cvtsi256_si32, IN_FLIGHT_16)
DEFINE_BOUND(vaes512, "aes,avx,avx2,vaes,avx512f", __m512i, _mm512_set1_epi32, _mm512_aesenc_epi128,
             _mm512_cvtsi512_si32, IN_FLIGHT_32)

}  // namespace

int main() {
    struct Width {
        const char* feature;
        int (*run)(long);
        long blocks_per_vector, chains;
    } widths[] = {{"aes", aesni, 1, IN_FLIGHT_16},
                  {"vaes", vaes256, 2, IN_FLIGHT_16},
                  {"vaes512", vaes512, 4, IN_FLIGHT_32}};
    double best[3] = {1e30, 1e30, 1e30};
    volatile int sink = 0;
    for (int repeat = 0; repeat < 30; ++repeat)
        for (int w = 0; w < 3; ++w) {
            if (!has(widths[w].feature)) continue;
            const long steps = 14 * BLOCKS / (widths[w].chains * widths[w].blocks_per_vector);
            // A run untimed first: the CPU powers the wider units up once they are used.
            sink = sink ^ widths[w].run(steps);
            auto start = std::chrono::steady_clock::now();
            sink = sink ^ widths[w].run(steps);
            auto elapsed = std::chrono::steady_clock::now() - start;
            best[w] = std::min(best[w], std::chrono::duration<double, std::nano>(elapsed).count());
        }
    for (int w = 0; w < 3; ++w) {
        if (has(widths[w].feature))
            std::printf("%.0f ", best[w]);
        else
            std::printf("- ");
    }
    std::printf("\n");
    return 0;
}
