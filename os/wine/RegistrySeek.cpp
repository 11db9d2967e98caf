// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/RegistrySeek.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "os/wine/RegistryText.h"

namespace sx::os::wine {

namespace {

constexpr std::string_view kSignature = "WINE REGISTRY Version 2";
// Reads are of blocks this large, each read once: a search of a real registry reads a dozen.
constexpr uint64_t kBlock = 1 << 14;
// Below this span the headers are read one after the other.
constexpr uint64_t kLinear = 2 * kBlock;
// A header line longer than this is none Wine wrote.
constexpr size_t kHeaderCap = 1 << 16;

char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

// A key path as UTF-16 units: spelled as a header spells it (backslashes doubled), and parsed so.
std::u16string Utf16(std::string_view utf8) {
    std::string spelled;
    for (char c : utf8) {
        if (c == '\\' || c == '[' || c == ']') spelled += '\\';
        spelled += c;
    }
    spelled += ']';
    size_t i = 0;
    auto units = regtext::ParseEscaped(spelled, i, ']');
    return units ? *units : std::u16string();
}

// The blocks of the file, read once each.
class Blocks {
  public:
    Blocks(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const { return m_size; }
    // The byte at offset; -1 past the end or after a failed read.
    int At(uint64_t offset) {
        if (offset >= m_size) return -1;
        const uint64_t start = offset - offset % kBlock;
        if (m_last != nullptr && m_lastStart == start)
            return static_cast<unsigned char>((*m_last)[static_cast<size_t>(offset - start)]);
        auto it = m_blocks.find(start);
        if (it == m_blocks.end()) {
            std::string block(static_cast<size_t>(std::min(kBlock, m_size - start)), '\0');
            size_t got = 0;
            while (got < block.size()) {
                const ssize_t n = ::pread(m_fd, block.data() + got, block.size() - got, static_cast<off_t>(start + got));
                if (n <= 0) {
                    m_failed = true;
                    return -1;
                }
                got += static_cast<size_t>(n);
            }
            it = m_blocks.emplace(start, std::move(block)).first;
        }
        m_last = &it->second;
        m_lastStart = start;
        return static_cast<unsigned char>(it->second[static_cast<size_t>(offset - start)]);
    }
    bool Failed() const { return m_failed; }

  private:
    int m_fd;
    uint64_t m_size;
    std::map<uint64_t, std::string> m_blocks;
    const std::string* m_last = nullptr;  // the block read from last
    uint64_t m_lastStart = 0;
    bool m_failed = false;
};

struct Header {
    uint64_t at = 0, next = 0;  // where its line starts, and where the line after it does
    std::u16string name;
};

// The first header whose line starts at or after from and before limit; nothing when there is
// none. bad is set for a header that cannot be Wine's.
std::optional<Header> HeaderFrom(Blocks& b, uint64_t from, uint64_t limit, bool& bad) {
    for (uint64_t at = std::max<uint64_t>(from, 1); at < limit; ++at) {
        const int c = b.At(at);
        if (c < 0) return std::nullopt;
        if (c != '[' || b.At(at - 1) != '\n') continue;
        std::string line;
        uint64_t end = at;
        for (int d; (d = b.At(end)) >= 0 && d != '\n'; ++end) {
            if (line.size() == kHeaderCap) {
                bad = true;
                return std::nullopt;
            }
            line += static_cast<char>(d);
        }
        size_t i = 1;
        auto name = regtext::ParseEscaped(line, i, ']');
        if (!name) {
            bad = true;
            return std::nullopt;
        }
        return Header{at, end + 1, std::move(*name)};
    }
    return std::nullopt;
}

}  // namespace

int WineKeyOrder(std::u16string_view a, std::u16string_view b, bool& unsure) {
    size_t i = 0, j = 0;
    for (;;) {
        const size_t ea = std::min(a.find(u'\\', i), a.size()), eb = std::min(b.find(u'\\', j), b.size());
        const size_t la = ea - i, lb = eb - j;
        for (size_t k = 0; k < std::min(la, lb); ++k) {
            const char16_t ca = Fold(a[i + k]), cb = Fold(b[j + k]);
            if (ca == cb) continue;
            if (a[i + k] >= 0x80 || b[j + k] >= 0x80) unsure = true;
            return ca < cb ? -1 : 1;
        }
        if (la != lb) return la < lb ? -1 : 1;
        // The same name: a key before its subkeys.
        const bool endA = ea == a.size(), endB = eb == b.size();
        if (endA || endB) return endA && endB ? 0 : endA ? -1 : 1;
        i = ea + 1;
        j = eb + 1;
    }
}

SeekOutcome SeekSection(int fd, uint64_t size, std::string_view keyPath, uint64_t& sectionAt) {
    Blocks b(fd, size);
    std::string first;
    for (uint64_t k = 0; k < kSignature.size(); ++k) {
        const int c = b.At(k);
        if (c < 0) return SeekOutcome::ScanWhole;
        first += static_cast<char>(c);
    }
    if (first != kSignature) return SeekOutcome::ScanWhole;
    const std::u16string target = Utf16(keyPath);
    bool unsure = false, bad = false;
    // The headers looked at so far, by where they lie: each must come after those before it.
    std::map<uint64_t, std::u16string> seen;
    const auto inOrder = [&](const Header& h) {
        auto [it, fresh] = seen.emplace(h.at, h.name);
        if (!fresh) return true;
        if (it != seen.begin() && WineKeyOrder(std::prev(it)->second, h.name, unsure) >= 0) return false;
        if (std::next(it) != seen.end() && WineKeyOrder(h.name, std::next(it)->second, unsure) >= 0) return false;
        return !unsure;
    };
    // Every header before lo is before the key; none starts in [mid, hi) after a search step's
    // header was the key's or after it.
    uint64_t lo = kSignature.size(), hi = size;
    while (hi - lo > kLinear) {
        const uint64_t mid = lo + (hi - lo) / 2;
        const std::optional<Header> h = HeaderFrom(b, mid, hi, bad);
        if (bad || b.Failed()) return SeekOutcome::ScanWhole;
        if (!h) {
            hi = mid;
            continue;
        }
        if (!inOrder(*h)) return SeekOutcome::ScanWhole;
        const int order = WineKeyOrder(h->name, target, unsure);
        if (unsure) return SeekOutcome::ScanWhole;
        if (order == 0) {
            sectionAt = h->at;
            return SeekOutcome::Found;
        }
        if (order < 0)
            lo = h->next;
        else
            hi = mid;
    }
    // The rest, header by header, up to the first that is the key's or after it.
    for (uint64_t at = lo;;) {
        const std::optional<Header> h = HeaderFrom(b, at, size, bad);
        if (bad || b.Failed()) return SeekOutcome::ScanWhole;
        if (!h) return SeekOutcome::Absent;
        if (!inOrder(*h)) return SeekOutcome::ScanWhole;
        const int order = WineKeyOrder(h->name, target, unsure);
        if (unsure) return SeekOutcome::ScanWhole;
        if (order == 0) {
            sectionAt = h->at;
            return SeekOutcome::Found;
        }
        if (order > 0) return SeekOutcome::Absent;
        at = h->next;
    }
}

}  // namespace sx::os::wine
