// The CTR keystream over 1 MiB in native code: the module's kernel with 8-way AES-NI, with
// VAES (where the CPU has it) and with libcrypto blocks, against libcrypto's own
// AES-256-CTR (EVP). Prints ns per MiB: aesni vaes software openssl ("-" where unavailable).
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "modes/ctr.hpp"

namespace {

using namespace dallowgate;

template <class Run>
double best_ns(Run run) {
    double best = 1e30;
    for (int repeat = 0; repeat < 50; ++repeat) {
        auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(
            best, std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                      .count());
    }
    return best;
}

double kernel_ns(AesBackend backend, bool vaes, std::vector<std::uint8_t>& data) {
    std::array<std::uint8_t, 32> key{7};
    Aes256Cipher cipher(key, backend, vaes);
    CtrState state{{}, 0};
    return best_ns([&] { apply_ctr_keystream(cipher, data, data.data(), state); });
}

}  // namespace

int main() {
    std::vector<std::uint8_t> data(1 << 20, 1);
    const bool aesni = cpu_has_aesni();
    if (aesni)
        std::printf("%.0f ", kernel_ns(AesBackend::aesni, false, data));
    else
        std::printf("- ");
    if (aesni && cpu_has_vaes())
        std::printf("%.0f ", kernel_ns(AesBackend::aesni, true, data));
    else
        std::printf("- ");
    std::printf("%.0f ", kernel_ns(AesBackend::software, false, data));

    unsigned char key[32] = {7}, iv[16] = {0};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, key, iv);
    int size = 0;
    std::printf("%.0f\n", best_ns([&] {
                    EVP_EncryptUpdate(ctx, data.data(), &size, data.data(),
                                      static_cast<int>(data.size()));
                }));
    EVP_CIPHER_CTX_free(ctx);
    return 0;
}
