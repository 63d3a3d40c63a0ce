// Hex text to bytes and back, for known-answer tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dallowgate::testing {

inline std::vector<std::uint8_t> from_hex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return bytes;
}

inline std::string to_hex(std::span<const std::uint8_t> bytes) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += DIGITS[b >> 4];
        text += DIGITS[b & 15];
    }
    return text;
}

}  // namespace dallowgate::testing
