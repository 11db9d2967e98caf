// SPDX-License-Identifier: GPL-3.0-or-later
// Valve's KeyValues text, the format of Steam's .vdf and .acf files, read as the tree it is.
//
// A file is a sequence of keys, each followed by a string value or by a block in braces that
// holds keys of its own. Keys and values are quoted ("...", with the escapes \\, \", \n and \t)
// or bare words; "//" starts a comment that runs to the end of the line; a condition in
// brackets after a value ([$WIN32]) is passed over. Keys compare without regard to case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sx::os::wine {

struct KvNode {
    std::string key;
    std::string value;            // a string value
    bool block = false;           // else a block of children
    std::vector<KvNode> children;

    // The first child of that key, without regard to case; null when there is none.
    const KvNode* Child(std::string_view name) const;
    // The string value of that child; empty when there is none or it is a block.
    std::string Text(std::string_view name) const;
};

// Bounds that keep a hostile file from costing more than a real one.
inline constexpr int kKvMaxDepth = 32;
inline constexpr size_t kKvMaxNodes = 100000;

// The keys of the text as the children of a root block. Text past a bound (a block nested
// deeper than kKvMaxDepth, more than kKvMaxNodes keys) and text that breaks off (an unclosed
// block or quote) end the reading: what was read before stays, blocks left open are closed.
KvNode ParseKeyValues(std::string_view text);

// The binary form of KeyValues (Steam's shortcuts.vdf): a type byte, a NUL-terminated key and
// the value: 0 a block, 1 a string, 2 a 32-bit integer (given as its unsigned decimal), 7 a
// 64-bit one, 8 the end of a block. The same bounds and the same ending where the data breaks
// off or holds a type this does not know.
KvNode ParseBinaryKeyValues(std::string_view data);

}  // namespace sx::os::wine
