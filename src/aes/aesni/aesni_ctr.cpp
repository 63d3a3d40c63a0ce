// The AES-NI CTR keystream kernel: eight counter blocks per batch formed with paddq and pshufb
// while the key schedule's first round is applied, the next batch's counters entering while
// this batch's last round is still in flight.
#include "aes/aesni/aesni.hpp"

#if DALLOWGATE_X86

#include <algorithm>

namespace dallowgate {

AES_LOOP_WRAPPER void AesNi::xor_keystream(std::uint64_t& high, std::uint64_t& low,
                                           const std::uint8_t* in, std::uint8_t* out,
                                           std::size_t batches) const {
    constexpr std::uint64_t MAX = ~std::uint64_t{0};
    while (batches != 0) {
        std::size_t run = 1;
        if (low_half_wraps(low, batch_width)) {
            xor_counter_keystream(*this, high, low, in, out);
        } else {  // the batches whose counters all stay below the wrap of the low half
            run =
                std::min<std::uint64_t>(batches, (MAX - low - (batch_width - 1)) / batch_width + 1);
            xor_keystream_without_carry(high, low, in, out, run);
        }
        advance_counter(high, low, run * batch_width);
        in += 16 * batch_width * run;
        out += 16 * batch_width * run;
        batches -= run;
    }
}

// Counter block `native` + i (low half in native order, no carry) XOR round key 0.
AES_TARGET inline __m128i AesNi::whitened_counter(__m128i native, std::size_t i,
                                                  __m128i to_big_endian, __m128i round_key_0) {
    __m128i sum = _mm_add_epi64(native, _mm_set_epi64x(static_cast<long long>(i), 0));
    return _mm_xor_si128(_mm_shuffle_epi8(sum, to_big_endian), round_key_0);
}

// The bulk loop, software-pipelined: the next batch's counter blocks and first round key go in
// while this batch's last round and output are still in flight.
AES_TARGET inline void AesNi::xor_keystream_without_carry(std::uint64_t high, std::uint64_t low,
                                                          const std::uint8_t* in, std::uint8_t* out,
                                                          std::size_t batches) const {
    const __m128i* k = keys_.encrypt;
    const __m128i to_big_endian =
        _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7);
    __m128i native = _mm_set_epi64x(static_cast<long long>(low), static_cast<long long>(high));
    const __m128i step = _mm_set_epi64x(static_cast<long long>(batch_width), 0);
    Block blocks[batch_width];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < batch_width; ++i)
        blocks[i] = whitened_counter(native, i, to_big_endian, k[0]);
    for (std::size_t b = 0; b < batches; ++b) {
        middle_rounds(blocks);
        native = _mm_add_epi64(native, step);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < batch_width; ++i) {
            __m128i keystream = _mm_aesenclast_si128(blocks[i], k[14]);
            store(out + 16 * i, xor_blocks(load(in + 16 * i), keystream));
            // the next batch (unused after the last)
            blocks[i] = whitened_counter(native, i, to_big_endian, k[0]);
        }
        in += 16 * batch_width;
        out += 16 * batch_width;
    }
}

}  // namespace dallowgate

#endif
