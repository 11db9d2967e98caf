// SPDX-License-Identifier: GPL-3.0-or-later
// Wine's registry text as its save format spells it: escaped strings, value data, value lines.
// Shared by the registry's readers: the scan of a whole file and the search of its headers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace sx::os::wine::regtext {

// Parses Wine's escaped string starting after the opening delimiter (at i), up to the closing
// one, which i then follows. Produces UTF-16 code units; nothing when the closing delimiter is
// missing.
std::optional<std::u16string> ParseEscaped(std::string_view s, size_t& i, char close);
// UTF-16 to UTF-8 (the host's spelling of names) up to the first NUL; an unpaired surrogate
// becomes the replacement character.
std::string Utf16ToUtf8(std::u16string_view u);
std::string_view Trim(std::string_view s);
// One value line of a section ("@=..." or "\"Name\"=..."), when its name is among the wanted
// ones (without regard to case): the name's index and the value as text. Nothing for any other
// line; the data of a value nobody asked for is not even decoded.
std::optional<std::pair<size_t, std::string>> ParseWantedValue(std::string_view line,
                                                                std::span<const std::string> wanted);

}  // namespace sx::os::wine::regtext
