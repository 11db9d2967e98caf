// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/WineRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "base/Text.h"
#include "os/wine/RegistrySeek.h"
#include "os/wine/RegistryText.h"

namespace sx::os::wine {
namespace {

using regtext::ParseEscaped;
using regtext::ParseWantedValue;
using regtext::Trim;
using regtext::Utf16ToUtf8;

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
    // firstOnly: the text begins with the wanted section (after the file's first line), and only
    // it is read.
    Scanner(const ReadFn& read, std::span<const std::string_view> keys,
            std::span<const std::string_view> valueNames, std::vector<WineRegKey>& out, bool firstOnly = false)
        : m_read(read),
          m_firstOnly(firstOnly),
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
                if (m_firstOnly) return !m_failed;
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
            if (m_firstOnly) return false;
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
    bool m_firstOnly;
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

namespace {

// The bytes of fd from offset up to size, after lead (bytes that are not in the file).
ReadFn ReadAt(int fd, uint64_t size, uint64_t offset, std::string_view lead = {}) {
    return [fd, size, offset, lead](char* buffer, size_t n) mutable -> std::ptrdiff_t {
        if (!lead.empty()) {
            const size_t take = std::min(n, lead.size());
            std::memcpy(buffer, lead.data(), take);
            lead.remove_prefix(take);
            return static_cast<std::ptrdiff_t>(take);
        }
        n = static_cast<size_t>(std::min<uint64_t>(n, size - std::min(size, offset)));
        if (n == 0) return 0;
        const ssize_t got = ::pread(fd, buffer, n, static_cast<off_t>(offset));
        if (got > 0) offset += static_cast<uint64_t>(got);
        return got;
    };
}

struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() { ::close(fd); }
};

}  // namespace

bool ScanWineRegistryFile(const std::string& path, std::span<const std::string_view> keyPaths,
                          std::span<const std::string_view> valueNames,
                          std::vector<WineRegKey>& keys, std::vector<uint64_t>* hints) {
    // Opened once, a regular file only (O_NONBLOCK: a FIFO does not hold the open up), and read
    // by offsets up to the size it had then, by the search and by a full scan alike.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    const ClosedAtEnd closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const auto size = static_cast<uint64_t>(st.st_size);
    // Each key by a search of the headers, where Wine's order holds: its section alone is read.
    std::vector<WineRegKey> sought(keyPaths.size());
    bool searched = true;
    HeaderSearch search(fd, size);
    if (hints != nullptr && hints->size() < keyPaths.size()) hints->resize(keyPaths.size());
    for (size_t k = 0; searched && k < keyPaths.size(); ++k) {
        uint64_t at = 0;
        const SeekOutcome outcome = search.Find(keyPaths[k], at, hints ? &(*hints)[k] : nullptr);
        searched = outcome != SeekOutcome::ScanWhole;
        if (outcome != SeekOutcome::Found) continue;
        // The section as the scan reads it: after the file's first line, its header first.
        std::vector<WineRegKey> one;
        const std::string_view key[] = {keyPaths[k]};
        if (!Scanner(ReadAt(fd, size, at, "WINE REGISTRY Version 2\n"), key, valueNames, one, true).Run()) return false;
        sought[k] = std::move(one[0]);
    }
    if (searched) {
        keys = std::move(sought);
        return true;
    }
    return ScanWineRegistry(ReadAt(fd, size, 0), keyPaths, valueNames, keys);
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
