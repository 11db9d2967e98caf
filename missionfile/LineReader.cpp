// SPDX-License-Identifier: GPL-3.0-or-later
#include "missionfile/LineReader.h"

#include <algorithm>
#include <cstring>

namespace sx {

namespace {
constexpr char kCtrlZ = '\x1a';
constexpr size_t kFirstChunk = 1 << 12;
constexpr size_t kChunk = 1 << 18;
}  // namespace

long MemorySource::Read(char* buffer, size_t size) {
    const size_t n = std::min(size, m_bytes.size() - m_pos);
    std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    return static_cast<long>(n);
}

LineReader::LineReader(ByteSource& source, size_t maxPiece)
    : m_source(source), m_maxPiece(maxPiece) {}

bool LineReader::Fill() {
    if (m_eof) return false;
    if (m_beforeRefill && !m_beforeRefill()) {
        m_eof = true;
        m_failed = true;
        return false;
    }
    // Keep the unread bytes, at the front.
    if (m_pos > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        if (m_stop != kNone) m_stop -= m_pos;
        m_pos = 0;
    }
    // Small files are read in small pieces; the pieces grow with the file up to kChunk.
    const size_t chunk = std::min(kChunk, std::max(kFirstChunk, m_buffer.size()));
    if (m_buffer.size() < m_end + chunk)
        m_buffer.resize(std::max(m_buffer.size() * 2, m_end + chunk));
    const long n = m_source.Read(m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (n <= 0) {
        m_eof = true;
        m_failed = n < 0;
        return false;
    }
    const size_t got = static_cast<size_t>(n);
    if (m_stop == kNone) {
        if (const void* z = std::memchr(m_buffer.data() + m_end, kCtrlZ, got)) {
            // Nothing after a control-Z is read as text.
            m_stop = static_cast<size_t>(static_cast<const char*>(z) - m_buffer.data());
        }
    }
    m_end += got;
    return true;
}

bool LineReader::ReadLine(std::string_view& line) {
    line = {};
    m_raw = {};
    m_terminated = false;
    if (m_exhausted) return false;
    for (;;) {
        const size_t limit = m_stop != kNone ? m_stop : m_end;
        const size_t avail = limit - m_pos;
        // Enough bytes to see a line end after a full piece: the piece and CR LF.
        const size_t want = m_maxPiece >= kNone - 2 ? kNone : m_maxPiece + 2;
        const char* begin = m_buffer.data() + m_pos;
        const size_t scan = std::min(avail, want);
        const void* lf = std::memchr(begin, '\n', scan);
        if (lf == nullptr && scan < want && m_stop == kNone && !m_eof) {
            Fill();  // more of the line, or the end of the file; look again either way
            continue;
        }
        const char* const b = begin;
        if (lf != nullptr) {
            const size_t at = static_cast<size_t>(static_cast<const char*>(lf) - begin);
            // A carriage return right before the line feed belongs to the line end.
            const size_t length = (at > 0 && b[at - 1] == '\r') ? at - 1 : at;
            if (length < m_maxPiece) {
                line = std::string_view(b, length);
                m_raw = std::string_view(b, at + 1);
                m_pos += at + 1;
                m_terminated = true;
                return true;
            }
        }
        // No line end in reach: a full piece, or what is left before the end of the file.
        const size_t length = std::min(avail, m_maxPiece);
        if (length == 0) {
            m_exhausted = true;
            return false;
        }
        line = std::string_view(b, length);
        m_raw = line;
        m_pos += length;
        return true;
    }
}

bool LineReader::ReadLine(std::string& line) {
    std::string_view view;
    const bool read = ReadLine(view);
    line.assign(view);
    return read;
}

bool LineReader::CopyRemainder(ByteSink& sink) {
    if (!StoppedAtControlZ()) return !m_failed;
    if (m_pos < m_end && !sink.Write(m_buffer.data() + m_pos, m_end - m_pos)) return false;
    m_pos = m_end;
    if (m_failed) return false;
    std::string chunk(kFirstChunk, '\0');
    for (;;) {
        const long n = m_source.Read(chunk.data(), chunk.size());
        if (n < 0) {
            m_failed = true;
            return false;
        }
        if (n == 0) return true;
        if (!sink.Write(chunk.data(), static_cast<size_t>(n))) return false;
    }
}

bool WriteLine(ByteSink& sink, std::string_view line) {
    return sink.Write(line.data(), line.size()) && sink.Write("\r\n", 2);
}

}  // namespace sx
