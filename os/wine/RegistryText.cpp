// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/RegistryText.h"

#include "base/Text.h"

namespace sx::os::wine::regtext {
namespace {

constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one UTF-8 sequence of a raw (non-ASCII) byte in the file; an invalid one is taken as
// a Latin-1 byte.
char32_t TakeUtf8(std::string_view s, size_t& i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t len = (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return static_cast<unsigned char>(s[i++]);
    char32_t cp = c & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return static_cast<unsigned char>(s[i++]);
        cp = (cp << 6) | (cc & 0x3F);
    }
    i += len;
    return cp;
}

}  // namespace

std::optional<std::u16string> ParseEscaped(std::string_view s, size_t& i, char close) {
    std::u16string out;
    auto push = [&out](char32_t cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == close) {
            ++i;
            return out;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            push(TakeUtf8(s, i));
            continue;
        }
        ++i;
        if (c != '\\') {
            out += static_cast<char16_t>(c);
            continue;
        }
        if (i >= s.size()) return std::nullopt;
        const char e = s[i++];
        switch (e) {
            case 'a':
                out += u'\a';
                break;
            case 'b':
                out += u'\b';
                break;
            case 'e':
                out += u'\x1b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case 'v':
                out += u'\v';
                break;
            case 'x': {
                // Up to four hex digits, as many as there are.
                uint32_t v = 0;
                int n = 0;
                while (n < 4 && i < s.size() && HexDigit(s[i]) >= 0) {
                    v = v * 16 + static_cast<uint32_t>(HexDigit(s[i++]));
                    ++n;
                }
                if (n == 0) {
                    out += u'x';
                } else {
                    out += static_cast<char16_t>(v);
                }
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    uint32_t v = static_cast<uint32_t>(e - '0');
                    for (int n = 1; n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++n)
                        v = v * 8 + static_cast<uint32_t>(s[i++] - '0');
                    out += static_cast<char16_t>(v);
                } else {
                    out += static_cast<char16_t>(static_cast<unsigned char>(e));
                }
        }
    }
    return std::nullopt;
}

std::string Utf16ToUtf8(std::u16string_view u) {
    std::string out;
    for (size_t i = 0; i < u.size(); ++i) {
        char32_t cp = u[i];
        if (cp == 0) break;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
            u[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

namespace {

std::string BytesToText(const std::string& bytes, uint32_t type) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::u16string u;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            u += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
        return Utf16ToUtf8(u);
    }
    const size_t nul = bytes.find('\0');
    return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}

// Parses the data part of a value line (after '='). Returns nothing for a malformed value.
std::optional<std::string> ParseData(std::string_view d) {
    size_t i = 0;
    uint32_t type = REG_SZ;
    if (!d.empty() && d[0] == '"') {
        ++i;
        auto s = ParseEscaped(d, i, '"');
        if (!s) return std::nullopt;
        return Utf16ToUtf8(*s);
    }
    if (d.substr(0, 4) == "str(") {
        const size_t close = d.find("):\"", 4);
        if (close == std::string_view::npos) return std::nullopt;
        i = close + 3;
        auto s = ParseEscaped(d, i, '"');
        if (!s) return std::nullopt;
        return Utf16ToUtf8(*s);
    }
    if (d.substr(0, 6) == "dword:") {
        uint32_t v = 0;
        std::string_view hex = d.substr(6);
        if (hex.empty() || hex.size() > 8) return std::nullopt;
        for (char c : hex) {
            if (HexDigit(c) < 0) return std::nullopt;
            v = v * 16 + static_cast<uint32_t>(HexDigit(c));
        }
        std::string bytes;
        for (int k = 0; k < 4; ++k) bytes += static_cast<char>((v >> (8 * k)) & 0xFF);
        return BytesToText(bytes, REG_DWORD);
    }
    if (d.substr(0, 3) == "hex") {
        i = 3;
        type = REG_BINARY;
        if (i < d.size() && d[i] == '(') {
            const size_t close = d.find(')', i);
            if (close == std::string_view::npos) return std::nullopt;
            type = 0;
            for (size_t k = i + 1; k < close; ++k) {
                if (HexDigit(d[k]) < 0) return std::nullopt;
                type = type * 16 + static_cast<uint32_t>(HexDigit(d[k]));
            }
            i = close + 1;
        }
        if (i >= d.size() || d[i] != ':') return std::nullopt;
        ++i;
        std::string bytes;
        while (i < d.size()) {
            if (d[i] == ',' || d[i] == ' ' || d[i] == '\t') {
                ++i;
                continue;
            }
            if (i + 1 >= d.size() || HexDigit(d[i]) < 0 || HexDigit(d[i + 1]) < 0)
                return std::nullopt;
            bytes += static_cast<char>(HexDigit(d[i]) * 16 + HexDigit(d[i + 1]));
            i += 2;
        }
        return BytesToText(bytes, type);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::pair<size_t, std::string>> ParseWantedValue(
    std::string_view line, std::span<const std::string> wanted) {
    std::string valueName;
    size_t i = 0;
    if (line.empty()) return std::nullopt;
    if (line[0] == '@') {
        i = 1;
    } else if (line[0] == '"') {
        i = 1;
        auto nm = ParseEscaped(line, i, '"');
        if (!nm) return std::nullopt;
        valueName = Utf16ToUtf8(*nm);
    } else {
        return std::nullopt;
    }
    if (i >= line.size() || line[i] != '=') return std::nullopt;
    size_t index = 0;
    while (index < wanted.size() && !EqualsNoCaseUtf8(wanted[index], valueName)) ++index;
    if (index == wanted.size()) return std::nullopt;
    auto data = ParseData(Trim(line.substr(i + 1)));
    if (!data) return std::nullopt;
    return std::pair{index, std::move(*data)};
}

}  // namespace sx::os::wine::regtext
