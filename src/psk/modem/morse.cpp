// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/morse.h"

#include <cctype>

namespace rollcall::modem {

std::string_view morsePattern(char c)
{
    static const char *letters[26] = { ".-", "-...", "-.-.", "-..", ".", "..-.", "--.", "....",
        "..", ".---", "-.-", ".-..", "--", "-.", "---", ".--.", "--.-", ".-.", "...", "-", "..-",
        "...-", ".--", "-..-", "-.--", "--.." };
    static const char *digits[10] = { "-----", ".----", "..---", "...--", "....-", ".....", "-....",
        "--...", "---..", "----." };
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalpha(u))
        return letters[std::toupper(u) - 'A'];
    if (std::isdigit(u))
        return digits[u - '0'];
    switch (c) {
    case '/':
        return "-..-.";
    case '?':
        return "..--..";
    case '.':
        return ".-.-.-";
    case ',':
        return "--..--";
    case '=':
        return "-...-";
    case '-':
        return "-....-";
    default:
        return {};
    }
}

std::vector<int> morseElements(std::string_view text)
{
    // Trailing blanks (fixed-width callsign fields) send nothing.
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::vector<int> out;
    bool wordGap = false;
    for (char c : text) {
        if (c == ' ') {
            wordGap = !out.empty();
            continue;
        }
        const std::string_view p = morsePattern(c);
        if (p.empty())
            continue;
        if (!out.empty())
            out.push_back(wordGap ? -7 : -3);
        wordGap = false;
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (i > 0)
                out.push_back(-1);
            out.push_back(p[i] == '.' ? 1 : 3);
        }
    }
    return out;
}

} // namespace rollcall::modem
