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
    // Feeds one bit; returns the byte completed by it, or -1.
    int push(int bit);
    void reset();
    // Drops bits up to the next gap (after the input was disturbed).
    void resync();

private:
    std::uint32_t bits_ = 0;
    int length_ = 0;
    int zeros_ = 0;
};

} // namespace rollcall::modem
