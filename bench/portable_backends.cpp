// The backends for CPUs without AES-NI over 1 MiB: libcrypto (in whatever mode
// OPENSSL_ia32cap leaves it: AES-NI, vector permutes or tables) against the bitsliced AES.
// The two take turns. Prints the best milliseconds per MiB: IGE encrypt, IGE decrypt and CTR
// for libcrypto, then the same for the bitsliced backend.
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "modes/ctr.hpp"
#include "modes/ige.hpp"

using namespace dallowgate;

int main() {
    std::vector<std::uint8_t> data(1 << 20, 1);
    std::array<std::uint8_t, 32> key{7}, iv{3};
    CtrState state{{}, 0};
    Aes256Cipher libcrypto(key, AesBackend::libcrypto), bitsliced(key, AesBackend::bitsliced);
    std::vector<std::function<void()>> candidates;
    for (const Aes256Cipher* cipher : {&libcrypto, &bitsliced}) {
        candidates.push_back([&, cipher] { ige_encrypt_in_place(*cipher, data, iv); });
        candidates.push_back([&, cipher] { ige_decrypt_in_place(*cipher, data, iv); });
        candidates.push_back(
            [&, cipher] { apply_ctr_keystream(*cipher, data, data.data(), state); });
    }
    std::vector<double> best(candidates.size(), 1e30);
    for (int round = 0; round < 5; ++round)
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            auto start = std::chrono::steady_clock::now();
            candidates[i]();
            auto elapsed = std::chrono::steady_clock::now() - start;
            best[i] = std::min(best[i], std::chrono::duration<double, std::milli>(elapsed).count());
        }
    for (double ms : best) std::printf("%.2f ", ms);
    std::printf("\n");
    return 0;
}
