#include "modes/ctr.hpp"

#include <algorithm>

#include "modes/counter_arithmetic.hpp"

namespace dallowgate {
namespace {

// The counter block as one unsigned 128-bit value.
struct Counter {
    std::uint64_t high, low;

    static Counter load(const CounterBlock& block) {
        Counter c{0, 0};
        for (int i = 0; i < 8; ++i) {
            c.high = c.high << 8 | block[i];
            c.low = c.low << 8 | block[8 + i];
        }
        return c;
    }
    void store(CounterBlock& block) const { store_counter_block(high, low, block.data()); }
    Counter plus(std::uint64_t n) const {
        Counter sum = *this;
        advance_counter(sum.high, sum.low, n);
        return sum;
    }
};

// out[i] = in[i] ^ keystream byte from + i of E(c), for `count` bytes.
template <class Aes>
void xor_partial_block(const Aes& aes, Counter c, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t from, std::size_t count) {
    std::uint8_t keystream[16];
    Aes::store(keystream, aes.encrypt(Aes::counter_block(c.high, c.low)));
    for (std::size_t i = 0; i < count; ++i) out[i] = in[i] ^ keystream[from + i];
    wipe(keystream, sizeof keystream);
}

template <class Aes>
void ctr_keystream(const Aes& aes, const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                   Counter& c, std::size_t& p) {
    constexpr std::size_t W = Aes::batch_width;
    if (n == 0) return;

    // Head: the rest of a partly used keystream block.
    if (p != 0) {
        const std::size_t m = std::min(n, 16 - p);
        xor_partial_block(aes, c, in, out, p, m);
        p += m;
        if (p == 16) {
            p = 0;
            c = c.plus(1);
        }
        if (p != 0 || m == n) return;
        in += m;
        out += m;
        n -= m;
    }

    // Bulk: W counter blocks at a time, encrypted together.
    if (const std::size_t batches = n / (16 * W)) {
        aes.xor_keystream(c.high, c.low, in, out, batches);
        in += 16 * W * batches;
        out += 16 * W * batches;
        n -= 16 * W * batches;
    }

    // Whole blocks left over, one at a time.
    for (; n >= 16; n -= 16, in += 16, out += 16) {
        auto keystream = aes.encrypt(Aes::counter_block(c.high, c.low));
        Aes::store(out, Aes::xor_blocks(Aes::load(in), keystream));
        c = c.plus(1);
    }

    // Tail: part of one more block, whose counter stays current.
    if (n != 0) {
        xor_partial_block(aes, c, in, out, 0, n);
        p = n;
    }
}

}  // namespace

void apply_ctr_keystream(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                         std::uint8_t* output, CtrState& state) {
    Counter c = Counter::load(state.counter);
    cipher.with_blocks([&](const auto& aes) {
        ctr_keystream(aes, input.data(), output, input.size(), c, state.position);
    });
    c.store(state.counter);
}

CtrState run_ctr_job(const CtrJob& job) {
    Aes256Cipher cipher(job.key);
    CtrState state = job.state;
    apply_ctr_keystream(cipher, job.input, job.output, state);
    return state;
}

}  // namespace dallowgate
