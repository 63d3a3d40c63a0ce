// The CTR keystream over 1 MiB in native code: the module's kernel with 8-way AES-NI, with
// VAES on 256-bit and on 512-bit registers (where the CPU has them) and with libcrypto blocks,
// against libcrypto's own AES-256-CTR (EVP). The candidates take turns, so that a change in the
// machine's speed during the run touches all of them. Prints the best ns per MiB of each:
// aesni vaes vaes512 libcrypto openssl ("-" where unavailable).
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "modes/ctr.hpp"

using namespace dallowgate;

int main() {
    std::vector<std::uint8_t> data(1 << 20, 1);
    std::array<std::uint8_t, 32> key{7};
    CtrState state{{}, 0};
    auto kernel = [&](const Aes256Cipher& cipher) {
        return [&] { apply_ctr_keystream(cipher, data, data.data(), state); };
    };

    const bool aesni = aes_backend_runs_here(AesBackend::aesni),
               vaes = aes_backend_runs_here(AesBackend::aesni_vaes),
               vaes512 = aes_backend_runs_here(AesBackend::aesni_vaes512);
    std::unique_ptr<Aes256Cipher> eight_way, wide, widest, libcrypto;
    if (aesni) eight_way = std::make_unique<Aes256Cipher>(key, AesBackend::aesni);
    if (vaes) wide = std::make_unique<Aes256Cipher>(key, AesBackend::aesni_vaes);
    if (vaes512) widest = std::make_unique<Aes256Cipher>(key, AesBackend::aesni_vaes512);
    libcrypto = std::make_unique<Aes256Cipher>(key, AesBackend::libcrypto);

    unsigned char iv[16] = {0};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, key.data(), iv);
    int size = 0;

    std::vector<std::function<void()>> candidates;
    candidates.push_back(eight_way ? std::function<void()>(kernel(*eight_way)) : nullptr);
    candidates.push_back(wide ? std::function<void()>(kernel(*wide)) : nullptr);
    candidates.push_back(widest ? std::function<void()>(kernel(*widest)) : nullptr);
    candidates.push_back(kernel(*libcrypto));
    candidates.push_back([&] {
        EVP_EncryptUpdate(ctx, data.data(), &size, data.data(), static_cast<int>(data.size()));
    });

    std::vector<double> best(candidates.size(), 1e30);
    for (int round = 0; round < 60; ++round)
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            if (!candidates[i]) continue;
            auto start = std::chrono::steady_clock::now();
            candidates[i]();
            auto elapsed = std::chrono::steady_clock::now() - start;
            best[i] = std::min(best[i], std::chrono::duration<double, std::nano>(elapsed).count());
        }
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i])
            std::printf("%.0f ", best[i]);
        else
            std::printf("- ");
    }
    std::printf("\n");
    EVP_CIPHER_CTX_free(ctx);
    return 0;
}
