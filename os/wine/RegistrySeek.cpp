// SPDX-License-Identifier: GPL-3.0-or-later
#include "os/wine/RegistrySeek.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "os/wine/RegistryText.h"

namespace sx::os::wine {

namespace {

constexpr std::string_view kSignature = "WINE REGISTRY Version 2";
// Reads are of blocks this large (a page), each read once.
constexpr uint64_t kBlock = 1 << 11;
// Below this span the headers are read one after the other: a couple of sections.
constexpr uint64_t kLinear = 512;
// A header line longer than this is none Wine wrote.
constexpr size_t kHeaderCap = 1 << 16;

char16_t Fold(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

// A key path as Wine spells it in a header: backslashes doubled, brackets escaped.
std::string SpelledKey(std::string_view utf8) {
    std::string spelled;
    for (char c : utf8) {
        if (c == '[' || c == ']') spelled += '\\';
        spelled += c;
        if (c == '\\') spelled += c;
    }
    return spelled;
}

// The blocks of the file, each read once while it is kept: a search of a real registry reads a
// dozen pages. A search that walks far (megabytes without a header) keeps only the latest.
class Blocks {
  public:
    Blocks(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t Size() const { return m_size; }
    // The bytes from offset to the end of its block; empty past the end or after a failed read.
    // The view lasts until the next call.
    std::string_view From(uint64_t offset) {
        if (offset >= m_size || m_failed) return {};
        const uint64_t start = offset - offset % kBlock;
        auto it = m_blocks.find(start);
        if (it == m_blocks.end()) {
            std::string bytes(static_cast<size_t>(std::min(kBlock, m_size - start)), '\0');
            size_t got = 0;
            while (got < bytes.size()) {
                const ssize_t n = ::pread(m_fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(start + got));
                if (n <= 0) {
                    m_failed = true;
                    return {};
                }
                got += static_cast<size_t>(n);
            }
            if (m_order.size() == kKept) {
                m_blocks.erase(m_order.front());
                m_order.pop_front();
            }
            it = m_blocks.emplace(start, std::move(bytes)).first;
            m_order.push_back(start);
        }
        return std::string_view(it->second).substr(static_cast<size_t>(offset - start));
    }
    bool Failed() const { return m_failed; }

  private:
    static constexpr size_t kKept = 256;  // half a megabyte
    int m_fd;
    uint64_t m_size;
    std::map<uint64_t, std::string> m_blocks;
    std::deque<uint64_t> m_order;  // oldest first
    bool m_failed = false;
};

struct Header {
    uint64_t at = 0, next = 0;  // where its line starts, and where the line after it does
    std::string name;           // as Wine spells it, between the brackets
};

// The name of a header line as it is spelled: up to the ']' that closes it (an escaped one,
// "\\]", does not). Nothing when no ']' closes it.
std::optional<std::string> Spelled(std::string_view line) {
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == ']')
            return std::string(line.substr(1, i - 1));
    }
    return std::nullopt;
}

// The first header whose line starts at or after from and before limit; nothing when there is
// none. bad is set for a header that cannot be Wine's.
std::optional<Header> HeaderFrom(Blocks& b, uint64_t from, uint64_t limit, bool& bad) {
    // A header's '[' follows a line end: the search is for the line end before it.
    for (uint64_t at = std::max<uint64_t>(from, 1) - 1; at + 1 < limit;) {
        const std::string_view bytes = b.From(at);
        if (bytes.empty()) return std::nullopt;
        // A line end and '[' in this block, or a line end that ends it, the '[' maybe in the next.
        const size_t pair = bytes.find("\n[");
        if (pair == std::string_view::npos && bytes.back() != '\n') {
            at += bytes.size();
            continue;
        }
        at += pair == std::string_view::npos ? bytes.size() : pair + 1;
        if (at >= limit) return std::nullopt;
        const std::string_view next = b.From(at);
        if (next.empty() || next[0] != '[') continue;
        // The header's line, mostly in the block where it starts; else it runs into the next.
        std::string line;
        std::string_view whole = next.substr(0, next.find('\n'));
        uint64_t end = at + whole.size();
        if (whole.size() == next.size()) {
            for (line.assign(whole);;) {
                const std::string_view part = b.From(end);
                if (part.empty()) break;
                const size_t stop = part.find('\n');
                line.append(part.substr(0, stop));
                end += stop == std::string_view::npos ? part.size() : stop;
                if (line.size() > kHeaderCap) {
                    bad = true;
                    return std::nullopt;
                }
                if (stop != std::string_view::npos) break;
            }
            whole = line;
        }
        std::optional<std::string> name = Spelled(whole);
        if (!name) {
            bad = true;
            return std::nullopt;
        }
        return Header{at, end + 1, std::move(*name)};
    }
    return std::nullopt;
}

// Two names as Wine spells them, in Wine's order, on their bytes where they tell it (plain
// ASCII, separators "\\\\"); -2 where an escape keeps them from telling.
int SpelledOrder(std::string_view a, std::string_view b, bool& unsure) {
    for (size_t i = 0, j = 0;;) {
        const bool endA = i == a.size(), endB = j == b.size();
        if (endA || endB) return endA && endB ? 0 : endA ? -1 : 1;
        bool sepA = false, sepB = false;
        if (a[i] == '\\') {
            if (i + 1 == a.size() || a[i + 1] != '\\') return -2;
            sepA = true;
        }
        if (b[j] == '\\') {
            if (j + 1 == b.size() || b[j + 1] != '\\') return -2;
            sepB = true;
        }
        if (sepA || sepB) {
            // A name that ends where the other goes on is the shorter one.
            if (!(sepA && sepB)) return sepA ? -1 : 1;
            i += 2;
            j += 2;
            continue;
        }
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        const unsigned char fa = ca >= 'A' && ca <= 'Z' ? ca + 32 : ca, fb = cb >= 'A' && cb <= 'Z' ? cb + 32 : cb;
        if (fa != fb) {
            if (ca >= 0x80 || cb >= 0x80) unsure = true;
            return fa < fb ? -1 : 1;
        }
        ++i;
        ++j;
    }
}

// Two spelled names in Wine's order, decoded where their bytes do not tell it.
int Order(const std::string& a, const std::string& b, bool& unsure) {
    const int order = SpelledOrder(a, b, unsure);
    if (order != -2) return order;
    size_t i = 0, j = 0;
    const auto ua = regtext::ParseEscaped(a + "]", i, ']'), ub = regtext::ParseEscaped(b + "]", j, ']');
    if (!ua || !ub) {
        unsure = true;
        return 0;
    }
    return WineKeyOrder(*ua, *ub, unsure);
}

}  // namespace

int WineKeyOrder(std::u16string_view a, std::u16string_view b, bool& unsure) {
    // One pass: at the first unit that differs without regard to case, a name that ends there
    // (a separator, or the end) is the shorter one, and comes first.
    const size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        const char16_t ca = Fold(a[k]), cb = Fold(b[k]);
        if (ca == cb) continue;
        if (a[k] == u'\\') return -1;
        if (b[k] == u'\\') return 1;
        if (a[k] >= 0x80 || b[k] >= 0x80) unsure = true;
        return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

struct HeaderSearch::Impl {
    Impl(int fd, uint64_t size) : b(fd, size) {}
    Blocks b;
    // The headers looked at so far, by where they lie: each must come after those before it.
    std::map<uint64_t, std::string> seen;
};

HeaderSearch::HeaderSearch(int fd, uint64_t size) : m_impl(std::make_unique<Impl>(fd, size)) {}

HeaderSearch::~HeaderSearch() = default;

SeekOutcome SeekSection(int fd, uint64_t size, std::string_view keyPath, uint64_t& sectionAt) {
    return HeaderSearch(fd, size).Find(keyPath, sectionAt);
}

SeekOutcome HeaderSearch::Find(std::string_view keyPath, uint64_t& sectionAt, uint64_t* hint) {
    Blocks& b = m_impl->b;
    if (!b.From(0).starts_with(kSignature)) return SeekOutcome::ScanWhole;
    const std::string target = SpelledKey(keyPath);
    bool unsure = false, bad = false;
    std::map<uint64_t, std::string>& seen = m_impl->seen;
    const auto inOrder = [&](const Header& h) {
        auto [it, fresh] = seen.emplace(h.at, h.name);
        if (!fresh) return true;
        if (it != seen.begin() && Order(std::prev(it)->second, h.name, unsure) >= 0) return false;
        if (std::next(it) != seen.end() && Order(h.name, std::next(it)->second, unsure) >= 0) return false;
        return !unsure;
    };
    // Every header before lo is before the key; the first header at or after it starts before
    // hi, or is the one a step from hi on found.
    uint64_t lo = kSignature.size(), hi = b.Size();
    SeekOutcome outcome = SeekOutcome::Absent;
    // A step: the first header from at on, and where it lies against the key (0 when there is
    // none). False when the search ends there (found, or the file cannot be searched so).
    const auto step = [&](uint64_t at, int& order) {
        order = 0;
        const std::optional<Header> h = HeaderFrom(b, at, hi, bad);
        if (bad || b.Failed()) {
            outcome = SeekOutcome::ScanWhole;
            return false;
        }
        if (!h) {
            hi = at;
            return true;
        }
        const bool ordered = inOrder(*h);
        order = ordered ? Order(h->name, target, unsure) : 0;
        if (!ordered || unsure || order == 0) {
            outcome = !ordered || unsure ? SeekOutcome::ScanWhole : SeekOutcome::Found;
            sectionAt = h->at;
            return false;
        }
        if (order < 0)
            lo = h->next;
        else
            hi = at;
        return true;
    };
    const auto ended = [&] {
        if (hint != nullptr) *hint = lo;
        return outcome;
    };
    // Around the hint first, in steps that double, until the key lies between two of them.
    if (hint != nullptr && *hint > lo && *hint < hi) {
        int order = 0;
        if (!step(*hint, order)) return ended();
        const bool up = order < 0;
        for (uint64_t width = kLinear; order != 0 && (order < 0) == up; width *= 2) {
            if (hi - lo <= 2 * width) break;
            if (!step(up ? lo + width : hi - width, order)) return ended();
        }
    }
    while (hi - lo > kLinear) {
        int order = 0;
        if (!step(lo + (hi - lo) / 2, order)) return ended();
    }
    // The rest, header by header, up to the first that is the key's or after it; each after the
    // one before it.
    std::optional<std::string> before;
    hi = b.Size();
    for (uint64_t at = lo;;) {
        const std::optional<Header> h = HeaderFrom(b, at, hi, bad);
        if (bad || b.Failed()) return SeekOutcome::ScanWhole;
        if (!h) {
            outcome = SeekOutcome::Absent;
            return ended();
        }
        if (before ? Order(*before, h->name, unsure) >= 0 || unsure : !inOrder(*h)) return SeekOutcome::ScanWhole;
        before = h->name;
        const int order = Order(h->name, target, unsure);
        if (unsure) return SeekOutcome::ScanWhole;
        if (order == 0) {
            sectionAt = h->at;
            outcome = SeekOutcome::Found;
            return ended();
        }
        if (order > 0) return ended();
        at = h->next;
        lo = at;
    }
}

}  // namespace sx::os::wine
