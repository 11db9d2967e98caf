// SPDX-License-Identifier: GPL-3.0-or-later
// Case folding, wildcard matching and the code page.
#include <gtest/gtest.h>

#include "base/Text.h"

TEST(Text, WildcardMatchesAnyCapitalisation) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.mis", "a.mis", true},
        {"*.mis", "B.MIS", true},
        {"*.mis", ".mis", true},
        {"*.mis", "a.mis.bak", false},
        {"*.mis", "a.misx", false},
        {"*.mis", "amis", false},
        {"*.mis", "x.y.Mis", true},
        {"a?c", "abc", true},
        {"a*b*c", "aXbYbZc", true},
        {"*.mis", "\xc4.mis", true},
        {"*.mis", "MIS", false},
        {"*mis", "amis", true},
        {"*", "", true},
        {"*.m?s", "a.MAS", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sx::WildcardMatchNoCase(c.pattern, c.name), c.match)
            << c.pattern << " " << c.name;
}

TEST(Text, CompareNoCaseOrdersLikeTheList) {
    EXPECT_LT(sx::CompareNoCase("a.mis", "B.mis"), 0);
    EXPECT_LT(sx::CompareNoCase("B.mis", "c.mis"), 0);
    EXPECT_EQ(sx::CompareNoCase("\xc4rger", "\xe4RGER"), 0);
    EXPECT_LT(sx::CompareNoCase("ab", "abc"), 0);
    EXPECT_TRUE(sx::StartsWithNoCase("B.mis", "b.M"));
    EXPECT_FALSE(sx::StartsWithNoCase("B", "b.m"));
    // Folded keys order as the comparison does.
    for (auto [a, b] :
         {std::pair{"a.mis", "B.mis"}, {"\xc4rger", "\xe4RGEZ"}, {"ab", "abc"}, {"Z", "\xe0"}})
        EXPECT_EQ(sx::FoldedKey(a) < sx::FoldedKey(b), sx::CompareNoCase(a, b) < 0)
            << a << " " << b;
}

TEST(Text, CodePageRoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(sx::Utf8ToCp1252(sx::Cp1252ToUtf8(all)), all);
    EXPECT_EQ(sx::Utf8ToCp1252("\xe2\x82\xac \xe4\xb8\xad"), "\x80 ?");  // euro sign; a missing one
}
