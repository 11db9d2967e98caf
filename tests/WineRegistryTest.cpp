// SPDX-License-Identifier: GPL-3.0-or-later
// The Wine registry-file reader, over text that Wine itself writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

}  // namespace
