#include "modes/ctr.hpp"

#include <type_traits>

#include "common/byte_order.hpp"
#include "common/counter128.hpp"
#include "modes/loops.hpp"

namespace dallowgate {
namespace {

// The counter block as one unsigned 128-bit value.
struct Counter {
    std::uint64_t high, low;

    static Counter load(const CounterBlock& block) {
        return {load_be64(block.data()), load_be64(block.data() + 8)};
    }
    void store(CounterBlock& block) const { store_counter_block(high, low, block.data()); }
};

void apply(const Aes256Cipher& cipher, std::span<const std::uint8_t> input, std::uint8_t* output,
           CtrState& state) {
    Counter c = Counter::load(state.counter);
    cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        ModeLoops<Aes>::ctr(keys, input.data(), output, input.size(), c.high, c.low,
                            state.position);
    });
    c.store(state.counter);
}

// The backend's short call, where it has one and the keystream lies within its reach: false
// where the call is for the cipher to run.
bool short_call(const CtrJob& job, CtrState& state) {
    return with_blocks_type(aes_backend(), [&]<class Aes>(std::type_identity<Aes>) {
        if constexpr (AesShortCtr<Aes>) {
            if (state.position + job.input.size() <= Aes::short_keystream_reach) {
                const Counter c = Counter::load(state.counter);
                KeystreamPoint point{c.high, c.low, state.position};
                Aes::xor_short_keystream(job.key.data(), job.input.data(), job.output,
                                         job.input.size(), point);
                Counter{point.high, point.low}.store(state.counter);
                state.position = point.position;
                return true;
            }
        }
        return false;
    });
}

// The calls that expand a key schedule: apart from run_ctr_job, whose short calls then save and
// restore only the registers they use.
[[gnu::noinline]] void run_on_schedule(const CtrJob& job, CtrState& state) {
    Aes256Cipher cipher(job.key, AesUse::keystream);
    apply(cipher, job.input, job.output, state);
}

}  // namespace

void apply_ctr_keystream(const Aes256Cipher& cipher, std::span<const std::uint8_t> input,
                         std::uint8_t* output, CtrState& state) {
    apply(cipher, input, output, state);
}

CtrState run_ctr_job(const CtrJob& job) {
    CtrState state = job.state;
    if (!job.input.empty() && !short_call(job, state)) run_on_schedule(job, state);
    return state;
}

}  // namespace dallowgate
