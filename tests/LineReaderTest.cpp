// SPDX-License-Identifier: GPL-3.0-or-later
// The one line reader every file goes through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "missionfile/LineReader.h"

using sx::LineReader;
using sx::MemorySource;

namespace {

// Every read until the file is exhausted, with the exhausted read shown as "<end>".
std::vector<std::string> Reads(const std::string& bytes, size_t maxPiece = LineReader::kMaxPiece) {
    MemorySource src(bytes);
    LineReader reader(src, maxPiece);
    std::vector<std::string> out;
    std::string line;
    for (int guard = 0; guard < 100000; ++guard) {
        if (!reader.ReadLine(line)) {
            EXPECT_TRUE(line.empty());
            EXPECT_TRUE(reader.Exhausted());
            out.push_back("<end>");
            // Every later read is exhausted too.
            EXPECT_FALSE(reader.ReadLine(line));
            break;
        }
        out.push_back(line);
    }
    return out;
}

// Hands out its bytes a few at a time, then fails.
class FailingSource : public sx::ByteSource {
  public:
    explicit FailingSource(std::string bytes) : m_bytes(std::move(bytes)) {}
    long Read(char* buffer, size_t size) override {
        if (m_pos >= m_bytes.size()) return -1;
        const size_t n = std::min<size_t>({size, 3, m_bytes.size() - m_pos});
        m_bytes.copy(buffer, n, m_pos);
        m_pos += n;
        return static_cast<long>(n);
    }

  private:
    std::string m_bytes;
    size_t m_pos = 0;
};

using Lines = std::vector<std::string>;

TEST(LineReader, LineRules) {
    const std::string a1023(1023, 'a');
    const std::string a2046(2046, 'a');
    const struct {
        const char* what;
        std::string bytes;
        Lines expected;
    } cases[] = {
        {"empty file", "", {"<end>"}},
        {"LF", "one\ntwo\n", {"one", "two", "<end>"}},
        {"CR LF", "one\r\ntwo\r\n", {"one", "two", "<end>"}},
        {"mixed ends", "one\r\ntwo\nthree", {"one", "two", "three", "<end>"}},
        {"last line without LF", "one\ntwo", {"one", "two", "<end>"}},
        {"empty lines", "\n\nx\n\n", {"", "", "x", "", "<end>"}},
        {"lone CR is a character", "a\rb\n\r", {"a\rb", "\r", "<end>"}},
        {"CR CR LF keeps one CR", "a\r\r\n", {"a\r", "<end>"}},
        {"1023 then LF", a1023 + "\nz", {a1023, "", "z", "<end>"}},
        {"1023 then CR LF", a1023 + "\r\nz", {a1023, "", "z", "<end>"}},
        {"1024", a1023 + "b\n", {a1023, "b", "<end>"}},
        {"2046 then LF", a2046 + "\n", {a1023, a1023, "", "<end>"}},
        {"1023 at the end", a1023, {a1023, "<end>"}},
        {"1022 then CR then x",
         std::string(1022, 'a') + "\rx\n",
         {std::string(1022, 'a') + "\r", "x", "<end>"}},
        {"control-Z ends the file", "one\ntw\x1ao\nthree\n", {"one", "tw", "<end>"}},
        {"control-Z at a line start", "one\n\x1atwo\n", {"one", "<end>"}},
        {"NUL is a character", std::string("a\0b\n", 4), {std::string("a\0b", 3), "<end>"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Reads(c.bytes), c.expected) << c.what;
}

TEST(LineReader, ReadErrorCountsAsEnd) {
    FailingSource src("abcd\nefgh");
    LineReader reader(src);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "abcd");
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "efgh");
    EXPECT_FALSE(reader.ReadLine(line));
    EXPECT_TRUE(reader.Failed());
}

}  // namespace
