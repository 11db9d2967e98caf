// SPDX-License-Identifier: GPL-3.0-or-later
// The archive reader over libarchive, for both systems. Only the formats and filters built into
// the library are taken: no reader that would open other files of the disk (mtree names files
// to read), and no filter that would start a program (lrzip, grzip).
#include <archive.h>
#include <archive_entry.h>

#include <string>

#include "os/Archive.h"

#ifdef _WIN32
#include "os/win32/Win32.h"
#else
#include <clocale>
#include <locale.h>
#endif

namespace sx::os {

namespace {

#ifdef _WIN32
std::string Utf8(const wchar_t* wide) {
    if (wide == nullptr || *wide == L'\0') return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
    return out;
}
#else
// libarchive converts names into the current locale's character set; the reader's calls run in
// UTF-8, whatever the user's locale, so that every name arrives whole.
class InUtf8 {
  public:
    InUtf8() {
        static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (utf8 != static_cast<locale_t>(nullptr)) m_old = ::uselocale(utf8);
    }
    ~InUtf8() {
        if (m_old != static_cast<locale_t>(nullptr)) ::uselocale(m_old);
    }
    InUtf8(const InUtf8&) = delete;
    InUtf8& operator=(const InUtf8&) = delete;

  private:
    locale_t m_old = static_cast<locale_t>(nullptr);
};
#endif

// The code page RAR4 names without the Unicode flag are in: the one of DOS programs.
std::string OemCharset() {
#ifdef _WIN32
    return "CP" + std::to_string(::GetOEMCP());
#else
    return "CP437";
#endif
}

}  // namespace

struct ArchiveReader::Impl {
    archive* a = nullptr;
    bool damaged = false;
    ~Impl() {
        if (a != nullptr) archive_read_free(a);
    }
};

ArchiveReader::ArchiveReader() : m_impl(std::make_unique<Impl>()) {}

ArchiveReader::~ArchiveReader() = default;

bool ArchiveReader::Open(const std::string& hostPath) {
#ifndef _WIN32
    const InUtf8 utf8;
#endif
    Impl& r = *m_impl;
    if (r.a != nullptr) archive_read_free(r.a);
    r.a = archive_read_new();
    r.damaged = false;
    if (r.a == nullptr) return false;
    for (int (*format)(archive*) : {archive_read_support_format_zip, archive_read_support_format_7zip,
                                    archive_read_support_format_rar, archive_read_support_format_rar5,
                                    archive_read_support_format_tar, archive_read_support_format_cab,
                                    archive_read_support_format_lha, archive_read_support_format_iso9660,
                                    archive_read_support_format_cpio})
        format(r.a);
    for (int (*filter)(archive*) : {archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
                                    archive_read_support_filter_xz, archive_read_support_filter_lzma,
                                    archive_read_support_filter_compress})
        filter(r.a);
    // Names without a flag of their own: a zip's as DOS wrote them, a RAR4's in the OEM code page.
    archive_read_set_format_option(r.a, "zip", "hdrcharset", "CP437");
    archive_read_set_format_option(r.a, "rar", "hdrcharset", OemCharset().c_str());
    constexpr size_t kBlock = 1 << 16;
#ifdef _WIN32
    const int opened = archive_read_open_filename_w(r.a, win32::WidePath(hostPath).c_str(), kBlock);
#else
    const int opened = archive_read_open_filename(r.a, hostPath.c_str(), kBlock);
#endif
    if (opened != ARCHIVE_OK) {
        archive_read_free(r.a);
        r.a = nullptr;
        return false;
    }
    return true;
}

bool ArchiveReader::Next(ArchiveEntry& entry) {
#ifndef _WIN32
    const InUtf8 utf8;
#endif
    Impl& r = *m_impl;
    if (r.a == nullptr || r.damaged) return false;
    archive_entry* e = nullptr;
    const int got = archive_read_next_header(r.a, &e);
    if (got == ARCHIVE_EOF) return false;
    // A warning is about a name the current character set could not hold: the name came whole
    // in the forms asked for below.
    if (got < ARCHIVE_WARN || e == nullptr) {
        r.damaged = true;
        return false;
    }
#ifdef _WIN32
    entry.name = Utf8(archive_entry_pathname_w(e));
#else
    const char* name = archive_entry_pathname_utf8(e);
    if (name == nullptr) name = archive_entry_pathname(e);
    entry.name = name != nullptr ? name : "";
#endif
    const auto type = archive_entry_filetype(e);
    entry.kind = archive_entry_hardlink(e) != nullptr || type == AE_IFLNK ? ArchiveEntryKind::Link
                 : type == AE_IFDIR                                        ? ArchiveEntryKind::Folder
                 : type == AE_IFREG                                        ? ArchiveEntryKind::File
                                                                           : ArchiveEntryKind::Other;
    entry.encrypted = archive_entry_is_encrypted(e) != 0;
    return true;
}

std::ptrdiff_t ArchiveReader::Read(char* buffer, size_t size) {
#ifndef _WIN32
    const InUtf8 utf8;
#endif
    Impl& r = *m_impl;
    if (r.a == nullptr || r.damaged) return -1;
    const la_ssize_t n = archive_read_data(r.a, buffer, size);
    if (n < 0) {
        r.damaged = true;
        return -1;
    }
    return static_cast<std::ptrdiff_t>(n);
}

uint64_t ArchiveReader::BytesRead() const {
    return m_impl->a == nullptr ? 0 : static_cast<uint64_t>(archive_filter_bytes(m_impl->a, -1));
}

bool ArchiveReader::Damaged() const {
    return m_impl->damaged;
}

}  // namespace sx::os
