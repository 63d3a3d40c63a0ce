// The mode loops of one AES backend: IGE, the CTR keystream, and single blocks and batches for
// callers outside the modes. Declared here for every blocks type, as explicit specializations;
// defined for each backend in a file of its own (loops_<backend>.cpp), inside the backend's
// target region, so that the block operations inline into the loops under any compiler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "aes/cipher.hpp"
#include "common/platform.hpp"

namespace dallowgate {

template <class Aes>
struct ModeLoops {
    using Keys = typename Aes::Keys;

    // IGE over `blocks` whole blocks; `iv` is the previous ciphertext block, then the previous
    // plaintext block. out may be in.
    static void ige_encrypt(const Keys& keys, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t blocks, const std::uint8_t* iv);
    static void ige_decrypt(const Keys& keys, const std::uint8_t* in, std::uint8_t* out,
                            std::size_t blocks, const std::uint8_t* iv);
    // out = in XOR `size` bytes of keystream from byte `position` (0 to 15) of the counter block
    // high:low, advancing high:low and position past them. out may be in.
    static void ctr(const Keys& keys, const std::uint8_t* in, std::uint8_t* out, std::size_t size,
                    std::uint64_t& high, std::uint64_t& low, std::size_t& position);

    // One block, and Aes::batch_width blocks at once.
    static void encrypt_block(const Keys& keys, const std::uint8_t* in, std::uint8_t* out);
    static void decrypt_block(const Keys& keys, const std::uint8_t* in, std::uint8_t* out);
    static void encrypt_batch(const Keys& keys, const std::uint8_t* in, std::uint8_t* out);
};

#define DALLOWGATE_DECLARE_MODE_LOOPS(Aes)                                                         \
    template <>                                                                                    \
    void ModeLoops<Aes>::ige_encrypt(const Keys&, const std::uint8_t*, std::uint8_t*, std::size_t, \
                                     const std::uint8_t*);                                         \
    template <>                                                                                    \
    void ModeLoops<Aes>::ige_decrypt(const Keys&, const std::uint8_t*, std::uint8_t*, std::size_t, \
                                     const std::uint8_t*);                                         \
    template <>                                                                                    \
    void ModeLoops<Aes>::ctr(const Keys&, const std::uint8_t*, std::uint8_t*, std::size_t,         \
                             std::uint64_t&, std::uint64_t&, std::size_t&);                        \
    template <>                                                                                    \
    void ModeLoops<Aes>::encrypt_block(const Keys&, const std::uint8_t*, std::uint8_t*);           \
    template <>                                                                                    \
    void ModeLoops<Aes>::decrypt_block(const Keys&, const std::uint8_t*, std::uint8_t*);           \
    template <>                                                                                    \
    void ModeLoops<Aes>::encrypt_batch(const Keys&, const std::uint8_t*, std::uint8_t*);

#if DALLOWGATE_X86
DALLOWGATE_DECLARE_MODE_LOOPS(AesNi)         // loops_aesni.cpp
DALLOWGATE_DECLARE_MODE_LOOPS(AesNiVaes)     // loops_vaes.cpp
DALLOWGATE_DECLARE_MODE_LOOPS(AesNiVaes512)  // loops_vaes512.cpp
#endif
#if DALLOWGATE_AARCH64
DALLOWGATE_DECLARE_MODE_LOOPS(Armv8Aes)  // loops_armv8.cpp
#endif
DALLOWGATE_DECLARE_MODE_LOOPS(LibcryptoAes)  // loops_portable.cpp
DALLOWGATE_DECLARE_MODE_LOOPS(BitslicedAes)  // loops_portable.cpp

// Single blocks and batches on the cipher's backend, for callers outside the modes (the tests).
inline void encrypt_block(const Aes256Cipher& cipher, const std::uint8_t* in, std::uint8_t* out) {
    cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        ModeLoops<Aes>::encrypt_block(keys, in, out);
    });
}
inline void decrypt_block(const Aes256Cipher& cipher, const std::uint8_t* in, std::uint8_t* out) {
    cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        ModeLoops<Aes>::decrypt_block(keys, in, out);
    });
}
// cipher.batch_width() blocks.
inline void encrypt_batch(const Aes256Cipher& cipher, const std::uint8_t* in, std::uint8_t* out) {
    cipher.with_keys([&]<class Aes>(std::type_identity<Aes>, const auto& keys) {
        ModeLoops<Aes>::encrypt_batch(keys, in, out);
    });
}

}  // namespace dallowgate
