// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/qt/QtText.h"


#include "base/Text.h"

namespace sx::qt {

namespace {

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Well-formed UTF-8: no stray continuation byte, no overlong form, nothing past U+10FFFF.
bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size() || (len == 2 && c < 0xC2) || (len == 4 && c > 0xF4)) return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        const auto c1 = static_cast<unsigned char>(len > 1 ? s[i + 1] : 0);
        if ((c == 0xE0 && c1 < 0xA0) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F)) return false;
        i += len;
    }
    return true;
}

}  // namespace

QString DecodeForDisplay(const std::string& bytes) {
    const auto size = static_cast<qsizetype>(bytes.size());
    if (IsAscii(bytes)) return QString::fromLatin1(bytes.data(), size);
    QString out(size, Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < size; ++i)
        d[i] = QChar(static_cast<char16_t>(
            Cp1252ToUnicode(static_cast<unsigned char>(bytes[static_cast<size_t>(i)]))));
    return out;
}

ui::ControlText EncodeFromDisplay(const QString& text) {
    ui::ControlText result;
    result.bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        unsigned char b = 0;
        if (UnicodeToCp1252(ch.unicode(), b)) {
            result.bytes += static_cast<char>(b);
        } else {
            result.bytes += '?';
            result.exact = false;
        }
    }
    return result;
}

QString ForMultiLine(const std::string& bytes) {
    QString shown = DecodeForDisplay(bytes);
    shown.replace(QStringLiteral("\r\r\n"), QStringLiteral("\n"));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.remove(QChar('\r'));
    return shown;
}

QString ForList(const std::string& bytes) {
    if (!IsAscii(bytes) && IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return DecodeForDisplay(bytes);
}

}  // namespace sx::qt
