#include "aes/bitsliced.hpp"

#include <cstring>

#include "common/wipe.hpp"

namespace dallowgate {
namespace {

// The state of four blocks: q[b] holds bit b of all 64 bytes, byte j of block k at bit
// 4 * j + k. A byte position j = 4 * column + row is thus one nibble, a column one 16-bit group.
using State = std::uint64_t[8];

// The S-box on all 64 bytes: the circuit of Boyar and Peralta (113 gates, "A new combinational
// logic minimization technique with applications to cryptology", 2010).
void sub_bytes(State q) {
    const std::uint64_t x0 = q[7], x1 = q[6], x2 = q[5], x3 = q[4];
    const std::uint64_t x4 = q[3], x5 = q[2], x6 = q[1], x7 = q[0];

    // Top linear transformation.
    const std::uint64_t y14 = x3 ^ x5, y13 = x0 ^ x6, y9 = x0 ^ x3, y8 = x0 ^ x5;
    const std::uint64_t t0 = x1 ^ x2, y1 = t0 ^ x7, y4 = y1 ^ x3, y12 = y13 ^ y14;
    const std::uint64_t y2 = y1 ^ x0, y5 = y1 ^ x6, y3 = y5 ^ y8, t1 = x4 ^ y12;
    const std::uint64_t y15 = t1 ^ x5, y20 = t1 ^ x1, y6 = y15 ^ x7, y10 = y15 ^ t0;
    const std::uint64_t y11 = y20 ^ y9, y7 = x7 ^ y11, y17 = y10 ^ y11, y19 = y10 ^ y8;
    const std::uint64_t y16 = t0 ^ y11, y21 = y13 ^ y16, y18 = x0 ^ y16;

    // Non-linear section: the inversion in GF(2^4)^2.
    const std::uint64_t t2 = y12 & y15, t3 = y3 & y6, t4 = t3 ^ t2, t5 = y4 & x7;
    const std::uint64_t t6 = t5 ^ t2, t7 = y13 & y16, t8 = y5 & y1, t9 = t8 ^ t7;
    const std::uint64_t t10 = y2 & y7, t11 = t10 ^ t7, t12 = y9 & y11, t13 = y14 & y17;
    const std::uint64_t t14 = t13 ^ t12, t15 = y8 & y10, t16 = t15 ^ t12, t17 = t4 ^ t14;
    const std::uint64_t t18 = t6 ^ t16, t19 = t9 ^ t14, t20 = t11 ^ t16, t21 = t17 ^ y20;
    const std::uint64_t t22 = t18 ^ y19, t23 = t19 ^ y21, t24 = t20 ^ y18;

    const std::uint64_t t25 = t21 ^ t22, t26 = t21 & t23, t27 = t24 ^ t26, t28 = t25 & t27;
    const std::uint64_t t29 = t28 ^ t22, t30 = t23 ^ t24, t31 = t22 ^ t26, t32 = t31 & t30;
    const std::uint64_t t33 = t32 ^ t24, t34 = t23 ^ t33, t35 = t27 ^ t33, t36 = t24 & t35;
    const std::uint64_t t37 = t36 ^ t34, t38 = t27 ^ t36, t39 = t29 & t38, t40 = t25 ^ t39;

    const std::uint64_t t41 = t40 ^ t37, t42 = t29 ^ t33, t43 = t29 ^ t40, t44 = t33 ^ t37;
    const std::uint64_t t45 = t42 ^ t41;
    const std::uint64_t z0 = t44 & y15, z1 = t37 & y6, z2 = t33 & x7, z3 = t43 & y16;
    const std::uint64_t z4 = t40 & y1, z5 = t29 & y7, z6 = t42 & y11, z7 = t45 & y17;
    const std::uint64_t z8 = t41 & y10, z9 = t44 & y12, z10 = t37 & y3, z11 = t33 & y4;
    const std::uint64_t z12 = t43 & y13, z13 = t40 & y5, z14 = t29 & y2, z15 = t42 & y9;
    const std::uint64_t z16 = t45 & y14, z17 = t41 & y8;

    // Bottom linear transformation.
    const std::uint64_t t46 = z15 ^ z16, t47 = z10 ^ z11, t48 = z5 ^ z13, t49 = z9 ^ z10;
    const std::uint64_t t50 = z2 ^ z12, t51 = z2 ^ z5, t52 = z7 ^ z8, t53 = z0 ^ z3;
    const std::uint64_t t54 = z6 ^ z7, t55 = z16 ^ z17, t56 = z12 ^ t48, t57 = t50 ^ t53;
    const std::uint64_t t58 = z4 ^ t46, t59 = z3 ^ t54, t60 = t46 ^ t57, t61 = z14 ^ t57;
    const std::uint64_t t62 = t52 ^ t58, t63 = t49 ^ t58, t64 = z4 ^ t59, t65 = t61 ^ t62;
    const std::uint64_t t66 = z1 ^ t63, t67 = t64 ^ t65;

    const std::uint64_t s0 = t59 ^ t63, s6 = t56 ^ ~t62, s7 = t48 ^ ~t60, s3 = t53 ^ t66;
    const std::uint64_t s4 = t51 ^ t66, s5 = t47 ^ t65, s1 = t64 ^ ~s3, s2 = t55 ^ ~t67;
    q[7] = s0, q[6] = s1, q[5] = s2, q[4] = s3, q[3] = s4, q[2] = s5, q[1] = s6, q[0] = s7;
}

// The inverse of the S-box's affine map (with its constant): bit i becomes
// b[i+2] ^ b[i+5] ^ b[i+7] ^ (0x05 bit i), indices mod 8.
void inverse_affine(State q) {
    std::uint64_t r[8];
    for (int i = 0; i < 8; ++i) r[i] = q[(i + 2) % 8] ^ q[(i + 5) % 8] ^ q[(i + 7) % 8];
    r[0] = ~r[0];
    r[2] = ~r[2];
    std::memcpy(q, r, sizeof r);
}

// InvSubBytes = g . SubBytes . g with g the inverse affine map: SubBytes is A . inverse + c,
// so g . SubBytes is the field inversion alone, and inverting g's output undoes SubBytes.
void inv_sub_bytes(State q) {
    inverse_affine(q);
    sub_bytes(q);
    inverse_affine(q);
}

constexpr std::uint64_t ROW_0 = 0x000F000F000F000Full;

std::uint64_t rotr(std::uint64_t x, int n) {
    return n == 0 ? x : (x >> n) | (x << (64 - n));
}
std::uint64_t rotl(std::uint64_t x, int n) {
    return n == 0 ? x : (x << n) | (x >> (64 - n));
}

// Row r moves r columns to the left: its nibbles rotate by 16 * r bits.
void shift_rows(State q) {
    for (int b = 0; b < 8; ++b) {
        std::uint64_t x = 0;
        for (int r = 0; r < 4; ++r) x |= rotr(q[b] & (ROW_0 << (4 * r)), 16 * r);
        q[b] = x;
    }
}

void inv_shift_rows(State q) {
    for (int b = 0; b < 8; ++b) {
        std::uint64_t x = 0;
        for (int r = 0; r < 4; ++r) x |= rotl(q[b] & (ROW_0 << (4 * r)), 16 * r);
        q[b] = x;
    }
}

// Every row of every column replaced by the row n below it (n = 1, 2, 3).
std::uint64_t rows_down_1(std::uint64_t x) {
    return ((x >> 4) & 0x0FFF0FFF0FFF0FFFull) | ((x << 12) & 0xF000F000F000F000ull);
}
std::uint64_t rows_down_2(std::uint64_t x) {
    return ((x >> 8) & 0x00FF00FF00FF00FFull) | ((x << 8) & 0xFF00FF00FF00FF00ull);
}
std::uint64_t rows_down_3(std::uint64_t x) {
    return ((x >> 12) & 0x000F000F000F000Full) | ((x << 4) & 0xFFF0FFF0FFF0FFF0ull);
}

// Multiplication by x in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1, bit by bit.
void times_x(const State in, State out) {
    out[0] = in[7];
    out[1] = in[0] ^ in[7];
    out[2] = in[1];
    out[3] = in[2] ^ in[7];
    out[4] = in[3] ^ in[7];
    out[5] = in[4];
    out[6] = in[5];
    out[7] = in[6];
}

// out_r = 2 a_r + 3 a_{r+1} + a_{r+2} + a_{r+3} = 2 (a_r + a_{r+1}) + a_{r+1} + a_{r+2} + a_{r+3}.
void mix_columns(State q) {
    std::uint64_t sum[8], rest[8], doubled[8];
    for (int b = 0; b < 8; ++b) {
        const std::uint64_t below = rows_down_1(q[b]);
        sum[b] = q[b] ^ below;
        rest[b] = below ^ rows_down_2(q[b]) ^ rows_down_3(q[b]);
    }
    times_x(sum, doubled);
    for (int b = 0; b < 8; ++b) q[b] = doubled[b] ^ rest[b];
}

// InvMixColumns = MixColumns after a_r += 4 (a_r + a_{r+2}): the matrix (14 11 13 9) is
// (2 3 1 1) times (5 0 4 0).
void inv_mix_columns(State q) {
    std::uint64_t pairs[8], twice[8], four_times[8];
    for (int b = 0; b < 8; ++b) pairs[b] = q[b] ^ rows_down_2(q[b]);
    times_x(pairs, twice);
    times_x(twice, four_times);
    for (int b = 0; b < 8; ++b) q[b] ^= four_times[b];
    mix_columns(q);
}

void add_round_key(State q, const std::uint64_t* key) {
    for (int b = 0; b < 8; ++b) q[b] ^= key[b];
}

// Transposes the 8x8 bit matrix of x: bit 8 * r + c goes to bit 8 * c + r.
std::uint64_t transpose_8x8(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

// Four blocks (64 bytes) into the bitsliced state. Bits 8g .. 8g + 7 of every word come
// from the state bytes 8g .. 8g + 7, that is byte j = 2g + m / 4 of block k = m % 4.
void load_state(const std::uint8_t* in, State q) {
    std::memset(q, 0, sizeof(State));
    for (int g = 0; g < 8; ++g) {
        std::uint64_t x = 0;
        for (int m = 0; m < 8; ++m) x |= std::uint64_t{in[16 * (m % 4) + 2 * g + m / 4]} << (8 * m);
        x = transpose_8x8(x);
        for (int b = 0; b < 8; ++b) q[b] |= ((x >> (8 * b)) & 0xFF) << (8 * g);
    }
}

void store_state(const State q, std::uint8_t* out) {
    for (int g = 0; g < 8; ++g) {
        std::uint64_t x = 0;
        for (int b = 0; b < 8; ++b) x |= ((q[b] >> (8 * g)) & 0xFF) << (8 * b);
        x = transpose_8x8(x);
        for (int m = 0; m < 8; ++m)
            out[16 * (m % 4) + 2 * g + m / 4] = static_cast<std::uint8_t>(x >> (8 * m));
    }
}

// One round key (16 bytes) repeated for the four blocks.
void spread_round_key(const std::uint8_t* key, std::uint64_t* words) {
    for (int b = 0; b < 8; ++b) {
        std::uint64_t w = 0;
        for (int j = 0; j < 16; ++j)
            w |= (std::uint64_t{0} - ((key[j] >> b) & 1)) & (0xFull << (4 * j));
        words[b] = w;
    }
}

void encrypt_lanes(const std::uint64_t (*keys)[8], State q) {
    add_round_key(q, keys[0]);
    for (int round = 1; round < 14; ++round) {
        sub_bytes(q);
        shift_rows(q);
        mix_columns(q);
        add_round_key(q, keys[round]);
    }
    sub_bytes(q);
    shift_rows(q);
    add_round_key(q, keys[14]);
}

void decrypt_lanes(const std::uint64_t (*keys)[8], State q) {
    add_round_key(q, keys[14]);
    for (int round = 13; round > 0; --round) {
        inv_shift_rows(q);
        inv_sub_bytes(q);
        add_round_key(q, keys[round]);
        inv_mix_columns(q);
    }
    inv_shift_rows(q);
    inv_sub_bytes(q);
    add_round_key(q, keys[0]);
}

// Runs `lanes` over whole groups of four blocks and over a last partial group (padded with
// zero blocks whose output is dropped).
template <class Lanes>
void run_blocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks, Lanes lanes) {
    constexpr std::size_t group = 16 * BitslicedAesKeys::lanes;
    State q;
    for (; blocks >= BitslicedAesKeys::lanes; blocks -= BitslicedAesKeys::lanes) {
        load_state(in, q);
        lanes(q);
        store_state(q, out);
        in += group;
        out += group;
    }
    if (blocks) {
        std::uint8_t partial[group] = {};
        std::memcpy(partial, in, 16 * blocks);
        load_state(partial, q);
        lanes(q);
        store_state(q, partial);
        std::memcpy(out, partial, 16 * blocks);
        wipe(partial, sizeof partial);
    }
    wipe(q, sizeof q);
}

}  // namespace

std::uint8_t bitsliced_sbox(std::uint8_t x) {
    State q;
    for (int b = 0; b < 8; ++b) q[b] = (x >> b) & 1;
    sub_bytes(q);
    std::uint8_t y = 0;
    for (int b = 0; b < 8; ++b) y |= static_cast<std::uint8_t>((q[b] & 1) << b);
    return y;
}

BitslicedAesKeys::BitslicedAesKeys(const std::uint8_t* key, AesUse) {
    // The AES-256 key expansion over bytes; SubWord goes through the bitsliced S-box, so no
    // step depends on the key but through bitwise operations.
    std::uint8_t w[60][4];
    std::memcpy(w, key, 32);
    std::uint8_t rcon = 1;
    for (int i = 8; i < 60; ++i) {
        std::uint8_t t[4];
        std::memcpy(t, w[i - 1], 4);
        if (i % 8 == 0) {
            const std::uint8_t first = t[0];
            t[0] = static_cast<std::uint8_t>(bitsliced_sbox(t[1]) ^ rcon);
            t[1] = bitsliced_sbox(t[2]);
            t[2] = bitsliced_sbox(t[3]);
            t[3] = bitsliced_sbox(first);
            rcon = static_cast<std::uint8_t>((rcon << 1) ^ ((rcon >> 7) * 0x1B));
        } else if (i % 8 == 4) {
            for (auto& byte : t) byte = bitsliced_sbox(byte);
        }
        for (int k = 0; k < 4; ++k) w[i][k] = w[i - 8][k] ^ t[k];
        wipe(t, sizeof t);
    }
    for (int round = 0; round < 15; ++round) spread_round_key(w[4 * round], round_keys_[round]);
    wipe(w, sizeof w);
}

BitslicedAesKeys::~BitslicedAesKeys() {
    wipe(round_keys_, sizeof round_keys_);
}

void BitslicedAesKeys::encrypt(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks) const {
    run_blocks(in, out, blocks, [this](State q) { encrypt_lanes(round_keys_, q); });
}

void BitslicedAesKeys::decrypt(const std::uint8_t* in, std::uint8_t* out,
                               std::size_t blocks) const {
    run_blocks(in, out, blocks, [this](State q) { decrypt_lanes(round_keys_, q); });
}

}  // namespace dallowgate
