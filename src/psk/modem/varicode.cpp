// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/varicode.h"

#include <array>
#include <unordered_map>

namespace rollcall::modem {
namespace {

// Codes 0..127 as published with PSK31 (sent left to right).
constexpr std::string_view kBase[128] = {
    "1010101011",
    "1011011011",
    "1011101101",
    "1101110111",
    "1011101011",
    "1101011111",
    "1011101111",
    "1011111101",
    "1011111111",
    "11101111",
    "11101",
    "1101101111",
    "1011011101",
    "11111",
    "1101110101",
    "1110101011",
    "1011110111",
    "1011110101",
    "1110101101",
    "1110101111",
    "1101011011",
    "1101101011",
    "1101101101",
    "1101010111",
    "1101111011",
    "1101111101",
    "1110110111",
    "1101010101",
    "1101011101",
    "1110111011",
    "1011111011",
    "1101111111",
    "1",
    "111111111",
    "101011111",
    "111110101",
    "111011011",
    "1011010101",
    "1010111011",
    "101111111",
    "11111011",
    "11110111",
    "101101111",
    "111011111",
    "1110101",
    "110101",
    "1010111",
    "110101111",
    "10110111",
    "10111101",
    "11101101",
    "11111111",
    "101110111",
    "101011011",
    "101101011",
    "110101101",
    "110101011",
    "110110111",
    "11110101",
    "110111101",
    "111101101",
    "1010101",
    "111010111",
    "1010101111",
    "1010111101",
    "1111101",
    "11101011",
    "10101101",
    "10110101",
    "1110111",
    "11011011",
    "11111101",
    "101010101",
    "1111111",
    "111111101",
    "101111101",
    "11010111",
    "10111011",
    "11011101",
    "10101011",
    "11010101",
    "111011101",
    "10101111",
    "1101111",
    "1101101",
    "101010111",
    "110110101",
    "101011101",
    "101110101",
    "101111011",
    "1010101101",
    "111110111",
    "111101111",
    "111111011",
    "1010111111",
    "101101101",
    "1011011111",
    "1011",
    "1011111",
    "101111",
    "101101",
    "11",
    "111101",
    "1011011",
    "101011",
    "1101",
    "111101011",
    "10111111",
    "11011",
    "111011",
    "1111",
    "111",
    "111111",
    "110111111",
    "10101",
    "10111",
    "101",
    "110111",
    "1111011",
    "1101011",
    "11011111",
    "1011101",
    "111010101",
    "1010110111",
    "110111011",
    "1010110101",
    "1011010111",
    "1110110101",
};

bool isValidCode(std::uint32_t bits, int length)
{
    if (length <= 0 || !(bits & 1u) || !((bits >> (length - 1)) & 1u))
        return false;
    for (int i = 0; i + 1 < length; ++i) {
        if (((bits >> i) & 3u) == 0)
            return false;
    }
    return true;
}

struct Tables
{
    std::array<VaricodeEntry, 256> forward {};
    std::unordered_map<std::uint32_t, int> reverse; // key: length << 16 | bits

    Tables()
    {
        std::unordered_map<std::uint32_t, bool> used;
        for (int c = 0; c < 128; ++c) {
            std::uint16_t bits = 0;
            for (char ch : kBase[c])
                bits = std::uint16_t((bits << 1) | (ch == '1' ? 1 : 0));
            forward[c] = { bits, std::uint8_t(kBase[c].size()) };
            used[key(bits, int(kBase[c].size()))] = true;
        }
        // Codes 128..255 are the unused valid codes taken shortest first and,
        // within a length, in ascending binary order: the extension every
        // PSK31 program shares.
        int next = 128;
        for (int length = 1; length <= 12 && next < 256; ++length) {
            for (std::uint32_t bits = 1u << (length - 1); bits < (1u << length) && next < 256;
                 ++bits) {
                if (isValidCode(bits, length) && !used.count(key(bits, length)))
                    forward[next++] = { std::uint16_t(bits), std::uint8_t(length) };
            }
        }
        for (int c = 0; c < 256; ++c)
            reverse[key(forward[c].bits, forward[c].length)] = c;
    }
    static std::uint32_t key(std::uint32_t bits, int length)
    {
        return (std::uint32_t(length) << 16) | bits;
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

} // namespace

const VaricodeEntry &varicode(std::uint8_t code)
{
    return tables().forward[code];
}

int varicodeDecode(std::uint32_t bits, int length)
{
    if (length <= 0 || length > 16)
        return -1;
    const auto &rev = tables().reverse;
    auto it = rev.find(Tables::key(bits, length));
    return it == rev.end() ? -1 : it->second;
}

namespace {
// Two codes and their gap, one zero of it lost: 2 x 12 + 2 bits at the most.
constexpr int kLongestRun = 26;
} // namespace

bool splitVaricode(std::uint32_t bits, int length, int &first, int &second)
{
    if (length < 4 || length > kLongestRun)
        return false;
    auto bitAt = [&](int i) { return (bits >> (length - 1 - i)) & 1u; };
    // Readings with both characters in the standard alphabet come first: the
    // codes of the upper half are long and rare, so they fit noise more often
    // than they are sent. Then one gap zero lost before both: a wrong
    // symbol turns two neighbouring bits, so "11" is the next likeliest.
    int found[4] = { 0, 0, 0, 0 };
    int pairs[4][2] = {};
    for (int p = 1; p + 2 < length; ++p) {
        // The gap as received: "10" or "01" (one zero became a one), or "11".
        if (bitAt(p) == 0 && bitAt(p + 1) == 0)
            continue;
        const bool both = bitAt(p) == 1 && bitAt(p + 1) == 1;
        const int rightLength = length - p - 2;
        const int a = varicodeDecode(bits >> (length - p), p);
        const int b = varicodeDecode(bits & ((1u << rightLength) - 1u), rightLength);
        if (a < 0 || b < 0)
            continue;
        const int rank = (a < 128 && b < 128 ? 0 : 2) + (both ? 1 : 0);
        ++found[rank];
        pairs[rank][0] = a;
        pairs[rank][1] = b;
    }
    int rank = 0;
    while (rank < 3 && found[rank] == 0)
        ++rank;
    if (found[rank] != 1)
        return false;
    first = pairs[rank][0];
    second = pairs[rank][1];
    return true;
}

int VaricodeDecoder::push(int bit)
{
    pending_ = -1;
    if (bit) {
        if (zeros_ == 1) {
            // A single zero belongs inside the code.
            bits_ <<= 1;
            ++length_;
        }
        zeros_ = 0;
        bits_ = (bits_ << 1) | 1u;
        ++length_;
        if (length_ > kLongestRun) {
            // Far longer than any code or pair of codes: noise; wait for the next gap.
            bits_ = 0;
            length_ = 0;
            skipping_ = true;
        }
        return -1;
    }
    ++zeros_;
    if (zeros_ == 2) {
        int result = -1;
        if (!skipping_ && length_ > 0) {
            result = varicodeDecode(bits_, length_);
            int first = -1, second = -1;
            if (result < 0 && splitVaricode(bits_, length_, first, second)) {
                result = first;
                pending_ = second;
            }
        }
        bits_ = 0;
        length_ = 0;
        skipping_ = false;
        return result;
    }
    return -1;
}

int VaricodeDecoder::pending()
{
    const int c = pending_;
    pending_ = -1;
    return c;
}

void VaricodeDecoder::reset()
{
    bits_ = 0;
    length_ = 0;
    zeros_ = 0;
    skipping_ = false;
    pending_ = -1;
}

void VaricodeDecoder::resync()
{
    // Whatever arrives before the next gap is the tail of something unknown.
    bits_ = 0;
    length_ = 0;
    zeros_ = 0;
    skipping_ = true;
    pending_ = -1;
}

} // namespace rollcall::modem
