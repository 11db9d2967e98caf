// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/WineRegistry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "base/Text.h"
#include "os/Files.h"

namespace sx::os::wine {
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

// Parses Wine's escaped string starting after the opening delimiter, up to the closing one.
// Produces UTF-16 code units. Returns nothing when the closing delimiter is missing.
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

// UTF-16 to UTF-8 (the host's spelling of names) up to the first NUL; an unpaired surrogate
// becomes the replacement character.
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

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
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

// One value line of a section ("@=..." or "\"Name\"=..."), when its name is among the wanted
// ones (without regard to case): the name's index and the value. Nothing for any other line; the
// data of a value nobody asked for is not even decoded.
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

// True when the raw text of a section header names the key.
bool HeaderNames(std::string_view raw, std::string_view key) {
    size_t i = 1;
    const auto name = ParseEscaped(raw, i, ']');
    return name && EqualsNoCaseUtf8(Utf16ToUtf8(*name), key);
}

// A cheap first look at a header: the key as Wine spells it, without regard to case, and then
// the header's closing bracket. Wine writes a plain name (printable ASCII, no brackets) as it
// stands, so a header of a plain key ends where the key does: almost every header is ruled out
// by that one byte. A header that spells another name another way (an escape or a character
// beyond ASCII where the key has none) is decoded in full. Every header of the file passes
// here, so it works on bytes and a folded key.
bool HeaderMayName(std::string_view raw, std::string_view foldedKey, bool plain) {
    const size_t n = foldedKey.size();
    if (raw.size() < n + 2 || (plain && raw[n + 1] != ']')) return false;
    const auto& fold = FoldTable();
    const auto* header = reinterpret_cast<const unsigned char*>(raw.data()) + 1;
    const auto* key = reinterpret_cast<const unsigned char*>(foldedKey.data());
    for (size_t k = 0; k < n; ++k) {
        const unsigned char a = header[k];
        if (fold[a] != key[k]) return !plain && (a == '\\' || a >= 0x80);
    }
    return header[n] == ']';
}

// A key as Wine writes it in a section header (backslashes doubled), folded for HeaderMayName.
std::string HeaderKey(std::string_view key) {
    std::string escaped;
    for (char c : key) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return FoldedKey(escaped);
}

// A name Wine writes as it stands: printable ASCII without brackets.
bool PlainKey(std::string_view key) {
    return std::all_of(key.begin(), key.end(),
                       [](char c) { return c >= 0x20 && c < 0x7F && c != '[' && c != ']'; });
}

// Reads the file a buffer at a time, looking only at the headers of sections until one names a
// wanted key. Memory stays the buffer's whatever the file's size.
class Scanner {
  public:
    Scanner(const ReadFn& read, std::span<const std::string_view> keys,
            std::span<const std::string_view> valueNames, std::vector<WineRegKey>& out)
        : m_read(read),
          m_out(out),
          m_buf(new char[kFirstBuffer]),
          m_valueNames(valueNames.begin(), valueNames.end()),
          m_values(valueNames.size()) {
        for (std::string_view k : keys) m_keys.push_back({std::string(k), HeaderKey(k), PlainKey(k)});
        m_out.assign(keys.size(), WineRegKey{});
    }

    bool Run() {
        std::string line;
        bool cut = false;
        if (!TakeLine(line, 64, cut) || Trim(line) != "WINE REGISTRY Version 2") return false;
        int section = -1;
        for (;;) {
            if (section < 0) {
                if (!SkipToHeader(section)) return !m_failed;
                continue;
            }
            // Inside a wanted section: its lines, up to the next header.
            if (!TakeLogicalLine(line, cut)) break;
            const std::string_view t = Trim(line);
            if (!t.empty() && t[0] == '[') {
                Close(section);
                section = Match(t);
                continue;
            }
            if (cut || t.empty() || t[0] == ';') continue;
            if (t[0] == '#') {
                // A link holds no values of its own; the key is not found through it.
                if (t == "#link") m_isLink = true;
                continue;
            }
            // The later of two lines of one name wins, as it does across sections.
            if (auto v = ParseWantedValue(t, m_valueNames)) m_values[v->first] = std::move(v->second);
        }
        Close(section);
        return !m_failed;
    }

  private:
    // Reads of 64 KiB: a buffer that stays in the processor's cache, where the copy costs least
    // (four times as much, at a megabyte).
    static constexpr size_t kFirstBuffer = 1 << 16;
    static constexpr size_t kLineCap = 1 << 20;
    struct Key {
        std::string name;     // UTF-8
        std::string escaped;  // as Wine writes it in a header, folded
        bool plain;
    };

    // True when no wanted key can be named by the header that starts the bytes (as far as they
    // reach into the buffer): only plain keys are ruled out so, by the bytes they reach.
    bool RuledOut(std::string_view bytes) const {
        for (const Key& k : m_keys) {
            const size_t reach = k.escaped.size() + 2;
            if (!k.plain || bytes.size() < reach ||
                HeaderMayName(bytes.substr(0, reach), k.escaped, true))
                return false;
        }
        return true;
    }

    int Match(std::string_view header) {
        for (size_t k = 0; k < m_keys.size(); ++k)
            if (HeaderMayName(header, m_keys[k].escaped, m_keys[k].plain) &&
                HeaderNames(header, m_keys[k].name))
                return static_cast<int>(k);
        return -1;
    }

    // A wanted section ends: a link is passed over, values of a later section win.
    void Close(int section) {
        if (section >= 0 && !m_isLink) {
            WineRegKey& key = m_out[static_cast<size_t>(section)];
            key.found = true;
            for (size_t n = 0; n < m_values.size(); ++n) {
                if (!m_values[n]) continue;
                auto existing = std::find_if(key.values.begin(), key.values.end(),
                                             [&](const WineRegValue& v) { return v.name == m_valueNames[n]; });
                if (existing == key.values.end())
                    key.values.push_back({m_valueNames[n], std::move(*m_values[n])});
                else
                    existing->text = std::move(*m_values[n]);
            }
        }
        std::fill(m_values.begin(), m_values.end(), std::nullopt);
        m_isLink = false;
    }

    bool Fill() {
        m_pos = m_end = 0;
        if (m_eof) return false;
        const std::ptrdiff_t n = m_read(m_buf.get(), m_capacity);
        if (n <= 0) {
            m_eof = true;
            m_failed = n < 0;
            return false;
        }
        m_end = static_cast<size_t>(n);
        return true;
    }

    // Moves to the next '[' that starts a line and matches it against the keys; the header's
    // line is consumed. False at the end of the file.
    bool SkipToHeader(int& section) {
        for (;;) {
            if (m_pos == m_end) {
                if (m_end > 0) m_lineStart = m_buf[m_end - 1] == '\n';
                if (!Fill()) return false;
            }
            const char* b = m_buf.get();
            const void* hit = std::memchr(b + m_pos, '[', m_end - m_pos);
            if (hit == nullptr) {
                m_pos = m_end;
                continue;
            }
            const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - b);
            const bool lineStart = at == m_pos ? m_lineStart : b[at - 1] == '\n';
            m_pos = at + 1;
            m_lineStart = false;
            if (!lineStart || RuledOut(std::string_view(b + at, m_end - at))) continue;
            const void* nl = std::memchr(b + at, '\n', m_end - at);
            if (nl != nullptr) {
                // The whole header lies in the buffer: looked at where it lies.
                const size_t end = static_cast<size_t>(static_cast<const char*>(nl) - b);
                section = Match(Trim(std::string_view(b + at, end - at)));
                m_pos = end + 1;
                m_lineStart = true;
            } else {
                std::string header(b + at, m_end - at);
                m_pos = m_end;
                std::string rest;
                bool cut = false;
                TakeLine(rest, kLineCap, cut);
                header += rest;
                section = cut ? -1 : Match(Trim(header));
            }
            if (section >= 0) return true;
        }
    }

    // The next line, without its end, keeping at most cap bytes (cut tells). False at the end.
    bool TakeLine(std::string& line, size_t cap, bool& cut) {
        line.clear();
        cut = false;
        bool any = false;
        for (;;) {
            if (m_pos == m_end && !Fill()) return any;
            any = true;
            const char* b = m_buf.get() + m_pos;
            const size_t n = m_end - m_pos;
            const void* nl = std::memchr(b, '\n', n);
            const size_t take = nl ? static_cast<size_t>(static_cast<const char*>(nl) - b) : n;
            const size_t room = cap - line.size();
            line.append(b, take < room ? take : room);
            if (take > room) cut = true;
            m_pos += take;
            if (nl != nullptr) {
                ++m_pos;
                m_lineStart = true;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
        }
    }

    // A line with its continuations: a hex value ending in '\' goes on in the next line.
    bool TakeLogicalLine(std::string& line, bool& cut) {
        if (!TakeLine(line, kLineCap, cut)) return false;
        std::string next;
        while (!cut && !line.empty() && line.back() == '\\' &&
               line.find("=hex") != std::string::npos) {
            line.pop_back();
            bool nextCut = false;
            if (!TakeLine(next, kLineCap, nextCut)) break;
            line += Trim(next);
            cut = nextCut || line.size() > kLineCap;
        }
        return true;
    }

    const ReadFn& m_read;
    std::vector<WineRegKey>& m_out;
    std::vector<Key> m_keys;
    std::unique_ptr<char[]> m_buf;  // not cleared: only what a read put there is looked at
    size_t m_capacity = kFirstBuffer;
    size_t m_pos = 0, m_end = 0;
    bool m_eof = false, m_failed = false, m_lineStart = true, m_isLink = false;
    // The values asked for, and what the section read so far holds of each.
    std::vector<std::string> m_valueNames;
    std::vector<std::optional<std::string>> m_values;
};

}  // namespace

bool ScanWineRegistry(const ReadFn& read, std::span<const std::string_view> keyPaths,
                      std::span<const std::string_view> valueNames, std::vector<WineRegKey>& keys) {
    return Scanner(read, keyPaths, valueNames, keys).Run();
}

bool ScanWineRegistryFile(const std::string& path, std::span<const std::string_view> keyPaths,
                          std::span<const std::string_view> valueNames,
                          std::vector<WineRegKey>& keys) {
    InputFile f;
    if (!f.Open(path)) return false;
    const ReadFn read = [&f](char* buffer, size_t size) { return f.Read(buffer, size); };
    return ScanWineRegistry(read, keyPaths, valueNames, keys);
}

bool ReadWineRegistryKey(std::string_view fileText, std::string_view keyPath,
                         std::span<const std::string_view> valueNames,
                         std::vector<WineRegValue>& values) {
    values.clear();
    size_t pos = 0;
    const ReadFn read = [&](char* buffer, size_t size) -> std::ptrdiff_t {
        const size_t n = size < fileText.size() - pos ? size : fileText.size() - pos;
        std::memcpy(buffer, fileText.data() + pos, n);
        pos += n;
        return static_cast<std::ptrdiff_t>(n);
    };
    std::vector<WineRegKey> keys;
    const std::string_view wanted[] = {keyPath};
    if (!ScanWineRegistry(read, wanted, valueNames, keys) || !keys[0].found) return false;
    values = std::move(keys[0].values);
    return true;
}

}  // namespace sx::os::wine
