// SPDX-License-Identifier: GPL-3.0-or-later
// Single-byte text helpers shared by every layer.
//
// Sortilex keeps all text (file names, folders, file contents, messages) as bytes in the
// single-byte code page of the game (Windows-1252). Nothing is decoded except for display,
// so a name read from a folder goes back to the file system byte for byte.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace sx {

// Folds ASCII and the Latin-1 letters of Windows-1252 to lower case.
unsigned char FoldCase(unsigned char c);
// FoldCase of every byte, for loops that look at many bytes.
const std::array<unsigned char, 256>& FoldTable();

// Three-way comparison without regard to case (negative, zero, positive).
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// The text with every character folded: keys that compare byte for byte as CompareNoCase
// compares the texts.
std::string FoldedKey(std::string_view text);

// Case-sensitive test that the first prefix.size() characters of text are prefix.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Matches a file name against a pattern of '*' and '?' without regard to case,
// as the platform's file search does.
bool WildcardMatchNoCase(std::string_view pattern, std::string_view name);

// Windows-1252 <-> Unicode. Every byte has a code point (the five unassigned bytes map to the
// C1 controls of the same value), so decoding and encoding back is exact for any byte string.
char32_t Cp1252ToUnicode(unsigned char byte);
// Returns false when the code point has no byte in the code page.
bool UnicodeToCp1252(char32_t cp, unsigned char& byte);

// Converts UTF-8 to Windows-1252; characters the code page lacks become '?'.
// Invalid UTF-8 bytes are taken as Windows-1252 bytes of their own.
std::string Utf8ToCp1252(std::string_view utf8);
// Converts Windows-1252 bytes to UTF-8 (for display and for logs only).
std::string Cp1252ToUtf8(std::string_view bytes);

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Host names (UTF-8 on Linux) compared without regard to case, the way a Windows file system
// compares them: letters of the Latin, Greek and Cyrillic alphabets fold to lower case.
// Bytes that are not UTF-8 compare as themselves.
bool EqualsNoCaseUtf8(std::string_view a, std::string_view b);
// The name with every letter folded as EqualsNoCaseUtf8 folds it: keys that compare byte for
// byte as the names compare without regard to case.
std::string FoldedKeyUtf8(std::string_view utf8);

// "1 mission", "3 missions": a count with its noun in the number it takes.
std::string Counted(long long count, std::string_view one, std::string_view many);

// A name read from disk or from the command line, as a terminal line may hold it: tab, line
// feed and backslash as \t, \n and \\; every other control byte, DEL, each byte of a C1
// control character and every byte that is not UTF-8 as \xHH. Nothing of it can move the
// terminal's cursor or set its state.
std::string EscapeForTerminal(std::string_view name);

}  // namespace sx
