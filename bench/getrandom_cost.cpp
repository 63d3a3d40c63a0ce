// The cost of one request to the kernel's random source for a message's padding (16 bytes).
#include <sys/random.h>

#include <chrono>
#include <cstdio>

int main() {
    constexpr int CALLS = 200'000;
    unsigned char padding[16];
    double best = 1e30;
    for (int repeat = 0; repeat < 5; ++repeat) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < CALLS; ++i)
            if (getrandom(padding, sizeof padding, 0) != sizeof padding) return 1;
        auto elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, std::chrono::duration<double, std::nano>(elapsed).count() / CALLS);
    }
    std::printf("%.1f\n", best);
    return 0;
}
