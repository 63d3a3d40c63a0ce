// Runs one path of the core on one AES backend with every secret marked undefined for
// valgrind's memcheck: any branch or memory address that depends on a secret is then reported.
// Usage: constant_time BACKEND PATH, with BACKEND aesni, libcrypto or bitsliced, and PATH one
// of the names in PATHS below (or "planted", which branches on a secret byte on purpose).
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "aes/backend.hpp"
#include "aes/cipher.hpp"
#include "message/key_derivation.hpp"
#include "message/pack.hpp"
#include "message/unpack.hpp"
#include "modes/ctr.hpp"
#include "modes/ige.hpp"

namespace dallowgate {
namespace {

template <class T>
void secret(T& object) {
    VALGRIND_MAKE_MEM_UNDEFINED(&object, sizeof object);
}
void secret(std::vector<std::uint8_t>& bytes) {
    VALGRIND_MAKE_MEM_UNDEFINED(bytes.data(), bytes.size());
}
void public_now(std::span<std::uint8_t> bytes) {
    VALGRIND_MAKE_MEM_DEFINED(bytes.data(), bytes.size());
}

std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + 131 * i);
    return bytes;
}

SecretBytes<32> secret_key() {
    SecretBytes<32> key;
    for (std::size_t i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(7 * i + 1);
    secret(key);
    return key;
}

void ige(bool decrypting) {
    SecretBytes<32> key = secret_key(), iv = secret_key();
    auto data = pattern(1000, 3);
    secret(data);
    Aes256Cipher cipher(key);
    if (decrypting)
        ige_decrypt_in_place(cipher, data, iv);
    else
        ige_encrypt_in_place(cipher, data, iv);
}

// From `position`, over a carry of the counter's low half, through several batches and a tail
// (or, for `size` up to 64 - position, the short call's single four-block step).
void ctr(std::size_t position, bool in_place, std::size_t size = 1000) {
    auto input = pattern(size, 5);
    secret(input);
    std::vector<std::uint8_t> output(input.size());
    SecretBytes<32> key = secret_key();
    CtrJob job{input, in_place ? input.data() : output.data(), key, {}};
    job.state.counter = {0, 1, 2, 3, 4, 5, 6, 7, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfb};
    job.state.position = position;
    run_ctr_job(job);
}

// Several independent streams under one cipher, as the batch form runs them.
void ctr_batch() {
    SecretBytes<32> key = secret_key();
    auto data = pattern(700, 9);
    secret(data);
    Aes256Cipher cipher(key);
    const std::size_t cuts[] = {0, 17, 17, 300, 700};
    for (std::size_t k = 0; k + 1 < std::size(cuts); ++k) {
        CtrState stream{{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                         0xff, 0xff, 0xff, static_cast<std::uint8_t>(0xf0 + k)},
                        5 * k % 16};
        std::span<std::uint8_t> item(data.data() + cuts[k], cuts[k + 1] - cuts[k]);
        apply_ctr_keystream(cipher, item, item.data(), stream);
    }
}

SecretBytes<AUTH_KEY_SIZE> secret_auth_key() {
    SecretBytes<AUTH_KEY_SIZE> auth_key;
    for (std::size_t i = 0; i < AUTH_KEY_SIZE; ++i) auth_key[i] = static_cast<std::uint8_t>(37 * i);
    secret(auth_key);
    return auth_key;
}

void kdf(std::size_t offset) {
    SecretBytes<AUTH_KEY_SIZE> auth_key = secret_auth_key();
    MsgKey msg_key{};
    secret(msg_key);
    AesKeyIv derived = derive_aes_key_iv(auth_key, msg_key, offset);
}

const std::array<std::uint8_t, 8> SESSION_ID = {1, 2, 3, 4, 5, 6, 7, 8};

// A packed message of a secret body, made public as it would be on the wire.
ByteBuffer packed_message() {
    auto body = pattern(300, 11);
    secret(body);
    PackJob job{{}, secret_auth_key(), {9, 9, 9, 9, 9, 9, 9, 9}};
    if (!job.buffer.resize_uninitialized(PACKED_HEADER_SIZE + padded_length(body.size())))
        std::abort();
    lay_out_plaintext(job.buffer.bytes(), {77, 3, body, 11, SESSION_ID});
    if (fill_padding(job.buffer.bytes(), body.size()) != 0) std::abort();
    ByteBuffer packed = pack_message_job(std::move(job));
    public_now(packed.bytes());
    return packed;
}

void unpack(bool right_msg_key) {
    ByteBuffer packed = packed_message();
    std::vector<std::uint8_t> rest(packed.size() - PACKED_HEADER_SIZE - PLAINTEXT_HEADER_SIZE);
    UnpackJob job{packed.bytes().subspan(PACKED_HEADER_SIZE),
                  rest.data(),
                  true,
                  SESSION_ID,
                  secret_auth_key(),
                  {},
                  0};
    std::memcpy(job.msg_key.data(), packed.data() + 8, 16);
    if (!right_msg_key) job.msg_key[3] ^= 1;
    secret(job.msg_key);
    UnpackOutcome outcome = unpack_message_job(job);
    VALGRIND_MAKE_MEM_DEFINED(&outcome.rejection, sizeof outcome.rejection);  // the public outcome
    if ((outcome.rejection == nullptr) != right_msg_key) std::abort();
}

volatile int sink;

// The check's own test: a branch on a secret byte, which must be reported.
void planted() {
    SecretBytes<32> key = secret_key();
    if (key[0] & 1) sink = 1;
}

struct Path {
    const char* name;
    void (*run)();
};

const Path PATHS[] = {
    {"ige_encrypt", [] { ige(false); }},
    {"ige_decrypt", [] { ige(true); }},
    {"ctr_from_0", [] { ctr(0, false); }},
    {"ctr_from_5", [] { ctr(5, false); }},
    {"ctr_inplace_from_5", [] { ctr(5, true); }},
    {"ctr_short", [] { ctr(5, false, 40); }},
    {"ctr_batch", ctr_batch},
    {"kdf_outgoing", [] { kdf(0); }},
    {"kdf_incoming", [] { kdf(8); }},
    {"pack_message", [] { packed_message(); }},
    {"unpack_wrong_msg_key", [] { unpack(false); }},
    {"unpack_right_msg_key", [] { unpack(true); }},
    {"planted", planted},
};

}  // namespace
}  // namespace dallowgate

int main(int argc, char** argv) {
    using namespace dallowgate;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s aesni|libcrypto|bitsliced PATH\n", argv[0]);
        return 2;
    }
    const std::string_view backend = argv[1], path = argv[2];
    if (backend == "aesni")
        override_aes_backend(AesBackend::aesni);
    else if (backend == "libcrypto")
        override_aes_backend(AesBackend::libcrypto);
    else if (backend == "bitsliced")
        override_aes_backend(AesBackend::bitsliced);
    else
        return 2;
    for (const Path& candidate : PATHS)
        if (path == candidate.name) {
            candidate.run();
            return 0;
        }
    std::fprintf(stderr, "no path %s\n", argv[2]);
    return 2;
}
