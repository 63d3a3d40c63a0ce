// CTR with any key, counter block, starting position and split points, on every backend the
// CPU can run: one call, split calls and the batch form (items under one cipher) all give
// libcrypto's EVP AES-256-CTR from the same point of the stream.
#include <openssl/evp.h>

#include <cstdlib>

#include "fuzz_input.hpp"
#include "modes/ctr.hpp"

using namespace dallowgate;

namespace {

// EVP's AES-256-CTR from `counter`, after discarding `position` bytes of keystream.
std::vector<std::uint8_t> reference(const std::uint8_t* key, const CounterBlock& counter,
                                    std::size_t position, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> in(position + data.size(), 0), out(in.size() + 16);
    std::copy(data.begin(), data.end(), in.begin() + position);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int written = 0;
    if (!context ||
        EVP_EncryptInit_ex(context, EVP_aes_256_ctr(), nullptr, key, counter.data()) != 1 ||
        EVP_EncryptUpdate(context, out.data(), &written, in.data(), static_cast<int>(in.size())) !=
            1)
        std::abort();
    EVP_CIPHER_CTX_free(context);
    return {out.begin() + position, out.begin() + position + data.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    fuzzing::FuzzInput input(bytes, size);
    const std::uint8_t selector = input.byte();
    SecretBytes<32> key;
    input.take(key.data(), 32);
    CtrState start{};
    input.take(start.counter.data(), 16);
    start.position = keystream_position(input.byte());
    const std::size_t cut_a = input.number(4096), cut_b = input.number(4096);
    std::vector<std::uint8_t> data = input.rest();
    const std::size_t first = std::min(cut_a, data.size()),
                      second = std::min(std::max(cut_b, first), data.size());

    Aes256Cipher cipher = fuzzing::cipher_for(selector, key);
    const std::vector<std::uint8_t> expected =
        reference(key.data(), start.counter, start.position, data);

    std::vector<std::uint8_t> whole(data.size());
    CtrState whole_state = start;
    apply_ctr_keystream(cipher, data, whole.data(), whole_state);
    if (whole != expected) std::abort();

    // Split calls, the middle one in place.
    std::vector<std::uint8_t> pieces = data;
    CtrState split_state = start;
    apply_ctr_keystream(cipher, {pieces.data(), first}, pieces.data(), split_state);
    apply_ctr_keystream(cipher, {pieces.data() + first, second - first}, pieces.data() + first,
                        split_state);
    apply_ctr_keystream(cipher, {pieces.data() + second, data.size() - second},
                        pieces.data() + second, split_state);
    if (pieces != expected || split_state.counter != whole_state.counter ||
        split_state.position != whole_state.position)
        std::abort();

    // The batch form: independent items, each from the same starting point.
    std::vector<std::uint8_t> items = data;
    for (auto [from, to] : {std::pair{std::size_t{0}, first}, std::pair{first, data.size()}}) {
        CtrState item_state = start;
        apply_ctr_keystream(cipher, {items.data() + from, to - from}, items.data() + from,
                            item_state);
        const std::vector<std::uint8_t> item(data.begin() + from, data.begin() + to);
        const std::vector<std::uint8_t> item_expected =
            reference(key.data(), start.counter, start.position, item);
        if (!std::equal(items.begin() + from, items.begin() + to, item_expected.begin()))
            std::abort();
    }

    // And the job the module functions run (the CPU's own backend).
    std::vector<std::uint8_t> job_out(data.size());
    CtrJob job{data, job_out.data(), key, start};
    CtrState job_state = run_ctr_job(job);
    if (job_out != expected || job_state.counter != whole_state.counter) std::abort();
    return 0;
}
