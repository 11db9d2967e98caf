// SPDX-License-Identifier: GPL-3.0-or-later
#include "hosts/qt/QtText.h"

#include <QStringDecoder>

#include "base/Text.h"

namespace sx::qt {

namespace {

bool IsAscii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool IsValidUtf8(const std::string& s) {
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    (void)dec.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
    return !dec.hasError();
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
