// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/win32/Win32Text.h"

#include "base/Text.h"

namespace sx::win32 {

std::wstring Widen(const std::string& cp1252) {
    std::wstring out;
    out.reserve(cp1252.size());
    for (char c : cp1252)
        out += static_cast<wchar_t>(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

ui::ControlText Narrow(const std::wstring& text) {
    ui::ControlText result;
    result.bytes.reserve(text.size());
    for (wchar_t ch : text) {
        unsigned char b = 0;
        if (UnicodeToCp1252(static_cast<char32_t>(ch), b)) {
            result.bytes += static_cast<char>(b);
        } else {
            result.bytes += '?';
            result.exact = false;
        }
    }
    return result;
}

}  // namespace sx::win32
