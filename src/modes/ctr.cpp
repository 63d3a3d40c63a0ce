#include "modes/ctr.hpp"

#include <algorithm>

#include "aes/keystream.hpp"
#include "common/byte_order.hpp"
#include "common/counter128.hpp"

namespace dallowgate {
namespace {

// The counter block as one unsigned 128-bit value.
struct Counter {
    std::uint64_t high, low;

    static Counter load(const CounterBlock& block) {
        return {load_be64(block.data()), load_be64(block.data() + 8)};
    }
    void store(CounterBlock& block) const { store_counter_block(high, low, block.data()); }
    Counter plus(std::uint64_t n) const {
        Counter sum = *this;
        advance_counter(sum.high, sum.low, n);
        return sum;
    }
};

// out[i] = in[i] ^ byte from + i of the keystream block, for `count` bytes.
template <AesBlocks Aes>
void xor_partial_block(typename Aes::Block keystream_block, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t from, std::size_t count) {
    std::uint8_t keystream[16];
    Aes::store(keystream, keystream_block);
    for (std::size_t i = 0; i < count; ++i) out[i] = in[i] ^ keystream[from + i];
    wipe(keystream, sizeof keystream);
}

// The last n bytes (fewer than a batch): their counter blocks encrypted four at a time, so that
// the rounds of independent blocks overlap; the last block may be used in part, and its counter
// then stays current with `p` bytes of it used.
template <AesBlocks Aes>
void ctr_tail(const Aes& aes, const std::uint8_t* in, std::uint8_t* out, std::size_t n, Counter& c,
              std::size_t& p) {
    while (n != 0) {
        typename Aes::Block blocks[4];
        four_counter_blocks<Aes>(c.high, c.low, blocks);
        aes.encrypt_four(blocks);
        const std::size_t whole = std::min<std::size_t>(n / 16, 4);
        for (std::size_t i = 0; i < whole; ++i)
            Aes::store(out + 16 * i, Aes::xor_blocks(Aes::load(in + 16 * i), blocks[i]));
        c = c.plus(whole);
        in += 16 * whole;
        out += 16 * whole;
        n -= 16 * whole;
        if (whole < 4 && n != 0) {
            xor_partial_block<Aes>(blocks[whole], in, out, 0, n);
            p = n;
            return;
        }
    }
}

template <AesBlocks Aes>
void ctr_keystream(const Aes& aes, const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                   Counter& c, std::size_t& p) {
    constexpr std::size_t W = Aes::batch_width;
    if (n == 0) return;

    // Head: the rest of a partly used keystream block.
    if (p != 0) {
        const std::size_t m = std::min(n, 16 - p);
        xor_partial_block<Aes>(aes.encrypt(counter_block<Aes>(c.high, c.low)), in, out, p, m);
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

    // Bulk: W counter blocks at a time, encrypted together (by the backend's own CTR kernel
    // where it has one).
    if (const std::size_t batches = n / (16 * W)) {
        if constexpr (AesCtrKernel<Aes>)
            aes.xor_keystream(c.high, c.low, in, out, batches);
        else
            xor_keystream_batches(aes, c.high, c.low, in, out, batches);
        in += 16 * W * batches;
        out += 16 * W * batches;
        n -= 16 * W * batches;
    }

    // The rest (fewer than W blocks): four counter blocks at a time.
    ctr_tail(aes, in, out, n, c, p);
}

// apply_ctr_keystream's body, which run_ctr_job inlines (a short call makes one call less).
void apply(const Aes256Cipher& cipher, std::span<const std::uint8_t> input, std::uint8_t* output,
           CtrState& state) {
    Counter c = Counter::load(state.counter);
    cipher.with_blocks([&](const auto& aes) {
        ctr_keystream(aes, input.data(), output, input.size(), c, state.position);
    });
    c.store(state.counter);
}

// The backend's short call, where it has one and the keystream lies within its reach: false
// where the call is for the cipher to run.
bool short_call(const CtrJob& job, CtrState& state) {
    return with_blocks_type(aes_backend(), [&]<class Aes>(std::type_identity<Aes>) {
        if constexpr (AesShortCtr<Aes>) {
            if (state.position + job.input.size() <= Aes::short_keystream_reach) {
                Counter c = Counter::load(state.counter);
                Aes::xor_short_keystream(job.key.data(), job.input.data(), job.output,
                                         job.input.size(), c.high, c.low, state.position);
                c.store(state.counter);
                return true;
            }
        }
        return false;
    });
}

}  // namespace

void apply_ctr_keystream(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                         std::uint8_t* output, CtrState& state) {
    apply(cipher, input, output, state);
}

CtrState run_ctr_job(const CtrJob& job) {
    CtrState state = job.state;
    if (job.input.empty() || short_call(job, state)) return state;
    Aes256Cipher cipher(job.key, AesUse::keystream);
    apply(cipher, job.input, job.output, state);
    return state;
}

}  // namespace dallowgate
