// The libcrypto backend: AES-256 from libcrypto (EVP, ECB without padding, and its CTR where
// that is constant-time). Used where the CPU has no AES instructions of ours but libcrypto's
// AES is constant-time (its vector-permute code on x86-64 with SSSE3, its ARMv8 code on
// aarch64).
#pragma once

#include <cstddef>
#include <cstdint>

#include <openssl/evp.h>

#include "aes/backend.hpp"
#include "aes/block_call.hpp"
#include "aes/contract.hpp"
#include "common/wipe.hpp"

namespace dallowgate {

// Whether libcrypto's AES is constant-time on this CPU: on x86-64 it uses its vector-permute
// code with SSSE3 and lookup tables without; on aarch64 it always has the ARMv8 instructions
// or NEON vector permutes; elsewhere it is not known to be.
bool libcrypto_aes_is_constant_time() noexcept;
// Whether libcrypto's AES-256-CTR is constant-time too: only where it runs on AES instructions
// (aarch64 with the ARMv8 AES extension). On x86-64 without AES-NI its CTR uses bit-sliced
// blocks keyed by a table-based key schedule, with table lookups for the last blocks.
bool libcrypto_ctr_is_constant_time() noexcept;

// A context for each direction the key serves; libcrypto cleanses them when they are freed.
class LibcryptoAesKeys {
public:
    // Throws std::bad_alloc when libcrypto cannot allocate the contexts.
    explicit LibcryptoAesKeys(const std::uint8_t* key, AesUse use = AesUse::both);
    ~LibcryptoAesKeys();
    LibcryptoAesKeys(const LibcryptoAesKeys&) = delete;
    LibcryptoAesKeys& operator=(const LibcryptoAesKeys&) = delete;

    void encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;
    void decrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) const;
    // Whether xor_counter_keystream may be used: the keys serve keystreams and libcrypto's CTR
    // is constant-time on this CPU. Otherwise keystreams are made of encrypted counter blocks.
    bool runs_counter_mode() const { return keeps_key_; }
    // out = in XOR the keystream of `blocks` (at most MAX_BLOCKS_PER_CALL) counter blocks from
    // the big-endian `counter` (libcrypto's AES-256-CTR, whose counter carries across all 16
    // bytes as ours does).
    static constexpr std::size_t MAX_BLOCKS_PER_CALL = std::size_t{1} << 20;
    void xor_counter_keystream(const std::uint8_t* counter, const std::uint8_t* in,
                               std::uint8_t* out, std::size_t blocks) const;

private:
    EVP_CIPHER_CTX* encrypt_ = nullptr;  // null where the use has no encryption
    EVP_CIPHER_CTX* decrypt_ = nullptr;  // null where it has no decryption
    // For keystreams where libcrypto's CTR is constant-time: the CTR context, made on the first
    // bulk keystream from a copy of the key kept (and wiped) for that, so that short calls never
    // pay for it.
    mutable EVP_CIPHER_CTX* counter_mode_ = nullptr;
    SecretBytes<32> key_;
    bool keeps_key_ = false;
};

// Block operations over libcrypto, for the mode loops, with libcrypto's CTR as the backend's
// own kernel where it is constant-time.
class LibcryptoAes : public BlockCallAes<LibcryptoAesKeys> {
public:
    using BlockCallAes::BlockCallAes;

    // out = in XOR the keystream of `batches` * batch_width counter blocks from high:low,
    // advancing high:low past them (libcrypto.cpp).
    void xor_keystream(std::uint64_t& high, std::uint64_t& low, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t batches) const;
};
static_assert(AesBlocks<LibcryptoAes> && AesCtrKernel<LibcryptoAes>);

}  // namespace dallowgate
