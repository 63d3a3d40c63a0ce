// Key derivation against answers computed independently with Python's hashlib.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>

#include "hex.hpp"
#include "message/key_derivation.hpp"

namespace dallowgate {
namespace {

using testing::to_hex;

struct Known {
    std::size_t msg_key_size;
    std::size_t offset;
    const char* key;
    const char* iv;
};

class KeyDerivation : public ::testing::TestWithParam<Known> {};

TEST_P(KeyDerivation, MatchesKnownAnswer) {
    std::array<std::uint8_t, AUTH_KEY_SIZE> auth_key;
    std::iota(auth_key.begin(), auth_key.end(), 0);
    std::array<std::uint8_t, 16> msg_key;
    std::iota(msg_key.begin(), msg_key.end(), 100);
    const Known& k = GetParam();
    AesKeyIv out = derive_aes_key_iv(auth_key, std::span(msg_key).first(k.msg_key_size), k.offset);
    EXPECT_EQ(to_hex(out.key), k.key);
    EXPECT_EQ(to_hex(out.iv), k.iv);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, KeyDerivation,
    ::testing::Values(
        Known{16, 0, "d9aae4a5c4ff018239c0733db44a8a51c5c188b8dfc0df350f270b9206b16208",
              "2d702f30e5306a5c0cfbc8baa20ba3aebd7268f29a3244e70f55a704cd16d992"},
        Known{16, 8, "71dfdcf2114c69315a5ebfd836e88f55dd64937ef04206428fccd2d7ad58959a",
              "dd9d9e6e16bf9f51252a8125b9ac54b3aec76024b4260d44a5de711087d15975"},
        Known{0, 0, "5d7e2d9b1dcbc85e09251a643442b9ef38077f95ddc9c6a6c6aa9c0a25c99c21",
              "5f05cbb41c5f07747c890036a2cf2f9fe7b66554f2df08cef5ac0bce73ec5b46"}),
    [](const ::testing::TestParamInfo<Known>& info) {
        return "msg_key" + std::to_string(info.param.msg_key_size) + "_offset" +
               std::to_string(info.param.offset);
    });

}  // namespace
}  // namespace dallowgate
