// Runs a fuzz target without libFuzzer, where its runtime is not at hand (a cross build run
// under an emulator): the seed files named on the command line first, then random inputs of
// random lengths for a number of seconds. A target aborts on any finding.
// Usage: TARGET SECONDS [SEED_FILE...]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SECONDS [SEED_FILE...]\n", argv[0]);
        return 2;
    }
    const auto seconds = std::chrono::seconds(std::atoi(argv[1]));
    for (int i = 2; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        std::vector<std::uint8_t> seed((std::istreambuf_iterator<char>(file)), {});
        LLVMFuzzerTestOneInput(seed.data(), seed.size());
    }
    std::mt19937_64 rng(std::random_device{}());
    std::vector<std::uint8_t> input;
    std::uint64_t runs = 0;
    const auto end = std::chrono::steady_clock::now() + seconds;
    while (std::chrono::steady_clock::now() < end) {
        // Most inputs short (the headers and a few blocks), some up to 8 KiB.
        const std::size_t size = rng() % 4 ? rng() % 160 : rng() % 8193;
        input.resize(size);
        for (auto& byte : input) byte = static_cast<std::uint8_t>(rng());
        LLVMFuzzerTestOneInput(input.data(), input.size());
        ++runs;
    }
    std::printf("%s: %llu random inputs in %d s, no finding\n", argv[0],
                static_cast<unsigned long long>(runs), std::atoi(argv[1]));
    return 0;
}
