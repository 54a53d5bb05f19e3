#include "app/quoted_input.h"

#include <cstdio>

namespace app {

namespace {

constexpr std::size_t kQuotedCharacters = 80;

// The length of the well-formed UTF-8 character at the start of `text`, or 0.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

void appendEscaped(std::string& out, unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    out += escaped;
}

// Appends at most `characters` characters of `text`; true if all of it fitted.
bool appendPrintable(std::string& out, std::string_view text, std::size_t characters) {
    std::size_t taken = 0;
    for (std::size_t i = 0; i < text.size(); ++taken) {
        if (taken == characters) return false;
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F) {
            out += text[i++];
        } else if (const std::size_t length = byte >= 0x80 ? utf8Length(text.substr(i)) : 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            appendEscaped(out, byte);
            ++i;
        }
    }
    return true;
}

}  // namespace

std::string quotedInput(std::string_view text) {
    std::string out = "\"";
    const bool whole = appendPrintable(out, text, kQuotedCharacters);
    out += whole ? "\"" : "…\"";
    return out;
}

std::string printable(std::string_view text, std::size_t characters) {
    std::string out;
    if (!appendPrintable(out, text, characters)) out += "…";
    return out;
}

}  // namespace app
