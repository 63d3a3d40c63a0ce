// The tests that run on every AES backend: a fixture parametrized by backend (skipped where
// this CPU cannot run it), instantiated over ALL_AES_BACKENDS as "Forced/<Suite>.<Test>/<name>",
// and the random inputs they share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "aes/cipher.hpp"

namespace dallowgate::testing {

using Bytes = std::vector<std::uint8_t>;

class OnEachBackend : public ::testing::TestWithParam<AesBackend> {
protected:
    void SetUp() override {
        if (!aes_backend_runs_here(GetParam())) GTEST_SKIP() << "this CPU cannot run it";
    }
    Aes256Cipher cipher(const Bytes& key, AesUse use = AesUse::both) const {
        return Aes256Cipher(std::span<const std::uint8_t, 32>(key.data(), 32), use, GetParam());
    }
};

inline std::string backend_test_name(const ::testing::TestParamInfo<AesBackend>& info) {
    return aes_backend_name(info.param);
}

inline Bytes random_bytes(std::mt19937_64& rng, std::size_t size) {
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

inline std::span<const std::uint8_t, 32> key_of(const Bytes& bytes) {
    return std::span<const std::uint8_t, 32>(bytes.data(), 32);
}

}  // namespace dallowgate::testing

// Runs the suite's tests on every backend.
#define INSTANTIATE_ON_EACH_BACKEND(Suite)                                         \
    INSTANTIATE_TEST_SUITE_P(Forced, Suite, ::testing::ValuesIn(ALL_AES_BACKENDS), \
                             ::dallowgate::testing::backend_test_name)
