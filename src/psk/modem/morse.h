// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rollcall::modem {

// Morse elements of a text, as key-down/key-up durations in dot units
// (positive = tone, negative = gap). Unknown characters are skipped.
std::vector<int> morseElements(std::string_view text);

// Morse pattern of one character (".-"), empty if it has none.
std::string_view morsePattern(char c);

} // namespace rollcall::modem
