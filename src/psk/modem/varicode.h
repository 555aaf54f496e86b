// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>

namespace rollcall::modem {

// The PSK31 alphabet: every byte value has a code of 1..12 bits that starts and
// ends with 1 and never holds "00", so "00" between characters marks the gap.
struct VaricodeEntry
{
    std::uint16_t bits = 0; // the code, most significant bit sent first
    std::uint8_t length = 0;
};

const VaricodeEntry &varicode(std::uint8_t code);

// Byte value for a received code (bits as sent, msb first), or -1 if it is no code.
int varicodeDecode(std::uint32_t bits, int length);

// Reassembles bytes from the received bit stream.
class VaricodeDecoder
{
public:
    // Feeds one bit; returns the byte completed by it, or -1. When one of
    // the two gap zeros between two characters was received as a one, the
    // run is no code but splits into two codes in exactly one way: push
    // returns the first and pending() the second.
    int push(int bit);
    // A second byte completed by the last push, or -1 (once).
    int pending();
    void reset();
    // Drops bits up to the next gap (after the input was disturbed).
    void resync();

private:
    std::uint32_t bits_ = 0;
    int length_ = 0;
    int zeros_ = 0;
    bool skipping_ = false;
    int pending_ = -1;
};

// The two codes a run that is no code holds, with one gap zero received as a
// one between them; false unless there is exactly one such reading.
bool splitVaricode(std::uint32_t bits, int length, int &first, int &second);

} // namespace rollcall::modem
