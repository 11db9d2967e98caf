// SPDX-License-Identifier: GPL-3.0-or-later
// Names as a terminal line shows them, over any bytes. Beyond not failing: what comes out is
// free of the control characters of either set (a terminal obeys those), and tells the name
// back exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Text.h"

namespace {

// Reads the escapes back: the name that was escaped.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= s.size()) std::abort();
        if (s[i] == 't') {
            out += '\t';
        } else if (s[i] == 'n') {
            out += '\n';
        } else if (s[i] == '\\') {
            out += '\\';
        } else if (s[i] == 'x' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            std::abort();
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string shown = sx::EscapeForTerminal(name);
    for (size_t i = 0; i < shown.size(); ++i) {
        const auto c = static_cast<unsigned char>(shown[i]);
        if (c < 0x20 || c == 0x7F) std::abort();
        // U+0080 to U+009F are C2 80 to C2 9F in UTF-8: never written as they are.
        if (c == 0xC2 && i + 1 < shown.size() && static_cast<unsigned char>(shown[i + 1]) < 0xA0) std::abort();
    }
    if (Unescape(shown) != name) std::abort();
    return 0;
}
