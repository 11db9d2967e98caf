// SPDX-License-Identifier: GPL-3.0-or-later
// The Wine registry-file reader, over text that Wine itself writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "os/wine/RegistrySeek.h"
#include "os/wine/WineRegistry.h"
#include "tests/support/TestSupport.h"

using sx::os::wine::ReadWineRegistryKey;
using sx::os::wine::WineRegValue;

namespace {

const std::string kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

std::string Fixture() {
    return sxtest::ReadFile(SORTILEX_TEST_DATA "/wine-system.reg");
}

// The value, or "<none>" when the key or the value is missing.
std::string Value(const std::string& text, const std::string& key, const std::string& name) {
    std::vector<WineRegValue> values;
    const std::string_view names[] = {name};
    if (!ReadWineRegistryKey(text, key, names, values)) return "<no key>";
    return values.empty() ? "<none>" : values[0].text;
}

struct Case {
    const char* key;  // below App Paths
    const char* value;
    std::string expected;
};

TEST(WineRegistry, ReadsEveryValueSpellingWineWrites) {
    const std::string text = Fixture();
    const Case cases[] = {
        {"vnt.exe", "", "C:\\Games\\V32\\vnt.exe"},
        {"vnt.exe", "Path", "C:\\Games\\V32"},
        {"vnt.exe", "Exp", "%ProgramFiles%\\V"},                 // str(2)
        {"vnt.exe", "Multi", "one"},                             // str(7): up to the first NUL
        {"vnt.exe", "Quote\"d", "say \"hi\" \\ back\\\\slash"},  // escaped quotes and backslashes
        {"vnt.exe", "Tab", "a\tb"},
        {"vnt.exe", "Unicode",
         "Caf\xc3\xa9 \xc3\x84"
         "1 \xe4\xb8\xad\xe6\x96\x87 x"},  // \x greedy up to four digits; UTF-8
        {"vnt.exe", "Emoji",
         "a\xf0\x9f\x98\x80"
         "b"},  // a surrogate pair is one character
        {"vnt.exe", "Empty", ""},
        {"vnt.exe", "Dw", "\x78\x56\x34\x12"},  // raw bytes of other types
        {"vnt.exe", "Bin", "\x01\x02\xff"},
        {"vnt.exe", "Missing", "<none>"},
        {"vnt2.exe", "", "C"},  // embedded NUL ends the text
        {"vnt2.exe", "Latin", "caf\xc3\xa9"},
        {"vnt3.exe", "Odd", "A"},  // hex(1), UTF-16LE
        {"vnt3.exe", "Path", "C:\\"},
        {"vnt3.exe", "Latin", "caf\xc3\xa9 \xe4\xb8\xad"},
        {"VNT4.EXE", "", "C:\\G"},              // hex(1) without a NUL
        {"vnt4.exe", "path", "C:\\G\xc3\xa9"},  // key and value names: any case
        {"nonul.exe", "Path", "C:\\Games\\V"},
        {"iexplore.exe", "Path", "C:\\Program Files\\Internet Explorer;"},
        {"absent.exe", "Path", "<no key>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Value(text, kAppPaths + c.key, c.value), c.expected) << c.key << " / " << c.value;
}

TEST(WineRegistry, KeyNamesWithEscapesAndLinks) {
    const std::string text = Fixture();
    EXPECT_EQ(Value(text, "Software\\Test [bracket] \"q\" \xc3\xa9", "x"), "y");
    EXPECT_EQ(Value(text, "Software\\Wow6432Node\\FooVendor\\Game", "Where"), "C:\\x32");
    // A #link section holds no values and is not a key of its own here.
    EXPECT_EQ(Value(text, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                    "SymbolicLinkValue"),
              "<no key>");
}

TEST(WineRegistry, DamagedAndHandWrittenFiles) {
    const std::string header = "WINE REGISTRY Version 2\n";
    const std::string section =
        "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\vnt.exe] 1\n";
    const std::string longPath(300, 'x');
    const struct {
        const char* what;
        std::string text;
        std::string expectedPath;
    } cases[] = {
        {"empty file", "", "<no key>"},
        {"garbage",
         "\x7f"
         "ELF\x01\x02 binary junk\n[[[",
         "<no key>"},
        {"no header", section + "\"Path\"=\"C:\\\\G\"\n", "<no key>"},
        {"CRLF",
         "WINE REGISTRY Version 2\r\n" + std::string(section).insert(section.size() - 1, "\r") +
             "\"Path\"=\"C:\\\\G\"\r\n",
         "C:\\G"},
        {"truncated in a string", header + section + "\"Path\"=\"C:\\\\Ga", "<none>"},
        {"truncated in the section name", header + "[Software\\\\Microsoft\\\\Win", "<no key>"},
        {"comments and meta lines",
         header + ";; c\n" + section + "#time=1\n#class=\"x\"\n;x\n\"Path\"=\"P\"\n", "P"},
        {"long value read whole", header + section + "\"Path\"=\"" + longPath + "\"\n", longPath},
        {"continued hex(2)",
         header + section + "\"Path\"=hex(2):43,00,3a,00,\\\n  5c,00,47,00,00,00\n", "C:\\G"},
        {"octal and control escapes", header + section + "\"Path\"=\"\\101\\x42\\n\"\n", "AB\n"},
        {"later section wins", header + section + "\"Path\"=\"A\"\n" + section + "\"Path\"=\"B\"\n",
         "B"},
        {"malformed line skipped", header + section + "\"Path\"=dword:zz\n\"Path\"=\"ok\"\n", "ok"},
        {"raw UTF-8 bytes", header + section + "\"Path\"=\"C:\\\\Caf\xc3\xa9\"\n",
         "C:\\Caf\xc3\xa9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Value(c.text, kAppPaths + "vnt.exe", "Path"), c.expectedPath) << c.what;
}

TEST(WineRegistry, EveryWayOfReadingFindsTheSame) {
    // A buffer at a time, headers and values cut by a buffer's edge, or the file by its path.
    const std::string text = Fixture();
    sxtest::TempDir dir;
    sxtest::WriteFile(dir / "system.reg", text);
    const std::string names[] = {kAppPaths + "vnt.exe", kAppPaths + "VNT4.EXE"};
    const std::string_view keys[] = {names[0], names[1]};
    const std::string_view values[] = {"", "Path", "Exp", "Multi", "Unicode", "Bin"};
    const auto shown = [](const std::vector<sx::os::wine::WineRegKey>& found) {
        std::string s;
        for (const auto& k : found) {
            s += k.found ? "[" : "[missing ";
            for (const auto& v : k.values) s += v.name + "=" + v.text + ";";
        }
        return s;
    };
    std::vector<sx::os::wine::WineRegKey> mapped;
    ASSERT_TRUE(sx::os::wine::ScanWineRegistryFile(dir / "system.reg", keys, values, mapped));
    for (size_t piece : {text.size(), size_t{1}, size_t{5}, size_t{4096}}) {
        size_t pos = 0;
        const sx::os::wine::ReadFn read = [&](char* buffer, size_t size) -> std::ptrdiff_t {
            const size_t n = std::min({size, piece, text.size() - pos});
            text.copy(buffer, n, pos);
            pos += n;
            return static_cast<std::ptrdiff_t>(n);
        };
        std::vector<sx::os::wine::WineRegKey> found;
        ASSERT_TRUE(sx::os::wine::ScanWineRegistry(read, keys, values, found)) << piece;
        EXPECT_EQ(shown(found), shown(mapped)) << piece;
    }
    EXPECT_EQ(shown(mapped).find("missing"), std::string::npos);
}

// A registry in Wine's order, as Wine saves one: many siblings under one key, each with a value.
bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Sorted(const std::vector<std::string>& keys) {
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n";
    for (const std::string& k : keys) {
        std::string spelled;
        for (char c : k) spelled += c == '\\' ? std::string("\\\\") : std::string(1, c);
        text += "[" + spelled + "] 1796598835\n#time=1dd85d777490044\n\"Path\"=\"C:\\\\" + k.substr(k.rfind('\\') + 1) + "\"\n\n";
    }
    return text;
}

TEST(WineRegistry, AKeyIsFoundByItsHeadersInWinesOrder) {
    // 20,000 sections in Wine's order: the key by a few reads wherever it lies; a missing one
    // without reading on; a file whose headers break the order, or where the order turns on a
    // letter beyond ASCII, read whole, and found all the same.
    // Wine's order of names that share a start: a key before its subkeys, a shorter name first,
    // case folded to lower (so '_' comes before letters).
    const std::vector<std::string> tricky = {kAppPaths + "k10000",   kAppPaths + "k10000\\Sub", kAppPaths + "k10000 x",
                                             kAppPaths + "k10000_",  kAppPaths + "k10000A",     kAppPaths + "k10000b"};
    std::vector<std::string> keys;
    for (int i = 0; i < 20000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "k%05d", i);
        if (i == 10000)
            keys.insert(keys.end(), tricky.begin(), tricky.end());
        else
            keys.push_back(kAppPaths + name);
    }
    const auto search = [](const std::string& text, const std::string& key, uint64_t& at) {
        sxtest::TempDir dir;
        sxtest::WriteFile(dir / "system.reg", text);
        const int fd = ::open((dir / "system.reg").c_str(), O_RDONLY | O_CLOEXEC);
        const auto outcome = sx::os::wine::SeekSection(fd, text.size(), key, at);
        ::close(fd);
        return outcome;
    };
    using sx::os::wine::SeekOutcome;
    const std::string text = Sorted(keys);
    ASSERT_GT(text.size(), 1500000u);
    for (const std::string& key : {keys.front(), keys.back(), tricky[0], tricky[1], tricky[2], tricky[3], tricky[4],
                                   tricky[5], kAppPaths + "K12345"}) {
        SCOPED_TRACE(key);
        uint64_t at = 0;
        ASSERT_EQ(search(text, key, at), SeekOutcome::Found);
        std::string spelled = "[";
        for (char c : key) spelled += c == '\\' ? std::string("\\\\") : std::string(1, c);
        EXPECT_TRUE(EqualsNoCase(text.substr(at, spelled.size() + 2), spelled + "] ")) << text.substr(at, 80);
        EXPECT_TRUE(EqualsNoCase(Value(text, key, "Path"), "C:\\" + key.substr(key.rfind('\\') + 1)));
    }
    // Each key from where the search of another prefix's file ended (the same Wine, 300 sections
    // fewer): where a search without that start finds it, or absent as there.
    {
        const std::string other = Sorted(std::vector<std::string>(keys.begin() + 300, keys.end()));
        sxtest::TempDir dir;
        sxtest::WriteFile(dir / "a.reg", text);
        sxtest::WriteFile(dir / "b.reg", other);
        const int fa = ::open((dir / "a.reg").c_str(), O_RDONLY | O_CLOEXEC);
        const int fb = ::open((dir / "b.reg").c_str(), O_RDONLY | O_CLOEXEC);
        sx::os::wine::HeaderSearch first(fa, text.size()), second(fb, other.size());
        for (const std::string& key : {keys[0], keys[299], keys[300], keys[7000], tricky[2], keys.back(), kAppPaths + "k10000c"}) {
            SCOPED_TRACE(key);
            uint64_t hint = 0, at = 0, plain = 0;
            first.Find(key, at, &hint);
            const SeekOutcome hinted = second.Find(key, at, &hint);
            EXPECT_EQ(hinted, search(other, key, plain));
            if (hinted == SeekOutcome::Found) {
                EXPECT_EQ(at, plain);
            }
        }
        ::close(fa);
        ::close(fb);
    }
    uint64_t at = 0;
    for (const std::string& missing : {kAppPaths + "k10000c", kAppPaths + "j", kAppPaths + "z", std::string("Other")})
        EXPECT_EQ(search(text, missing, at), SeekOutcome::Absent) << missing;

    const struct {
        const char* what;
        std::string text;
    } whole[] = {
        {"a header out of order", Sorted({kAppPaths + "b", kAppPaths + "a", kAppPaths + "vnt.exe"})},
        {"a sibling beyond ASCII", Sorted({kAppPaths + "u", kAppPaths + "v\xc3\xa9", kAppPaths + "vnt.exe"})},
        {"no Wine registry", "REGEDIT4\n\n[Software]\n"},
    };
    for (const auto& w : whole) {
        EXPECT_EQ(search(w.text, kAppPaths + "vnt.exe", at), SeekOutcome::ScanWhole) << w.what;
        sxtest::TempDir dir;
        sxtest::WriteFile(dir / "system.reg", w.text);
        std::vector<sx::os::wine::WineRegKey> found;
        const std::string vnt = kAppPaths + "vnt.exe";
        const std::string_view key[] = {vnt}, names[] = {"Path"};
        if (w.text.rfind("WINE", 0) != 0) continue;
        ASSERT_TRUE(sx::os::wine::ScanWineRegistryFile(dir / "system.reg", key, names, found)) << w.what;
        ASSERT_TRUE(found[0].found) << w.what;
        EXPECT_EQ(found[0].values.at(0).text, "C:\\vnt.exe") << w.what;
    }
}

}  // namespace
