#include "missionfile/LineReader.h"

#include <algorithm>
#include <cstring>

namespace sx {

namespace {
constexpr char kCtrlZ = '\x1a';
constexpr size_t kChunk = 1 << 16;
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
    if (m_pos > 0) {
        m_buffer.erase(0, m_pos);
        m_pos = 0;
    }
    const size_t old = m_buffer.size();
    m_buffer.resize(old + kChunk);
    const long n = m_source.Read(m_buffer.data() + old, kChunk);
    if (n <= 0) {
        m_buffer.resize(old);
        m_eof = true;
        m_failed = n < 0;
        return false;
    }
    m_buffer.resize(old + static_cast<size_t>(n));
    return true;
}

bool LineReader::ReadLine(std::string& line) {
    line.clear();
    m_terminated = false;
    if (m_exhausted) return false;
    size_t taken = 0;
    for (;;) {
        if (taken == m_maxPiece) return true;  // the rest of the line comes with the next read
        if (m_pos >= m_buffer.size() && !Fill()) break;
        // Take a run of ordinary characters at once.
        const char* begin = m_buffer.data() + m_pos;
        const size_t avail = m_buffer.size() - m_pos;
        const size_t room = m_maxPiece - taken;
        size_t run = 0;
        const size_t limit = avail < room ? avail : room;
        while (run < limit) {
            const char c = begin[run];
            if (c == '\n' || c == '\r' || c == kCtrlZ) break;
            ++run;
        }
        line.append(begin, run);
        taken += run;
        m_pos += run;
        if (run == limit) continue;
        const char c = m_buffer[m_pos];
        if (c == kCtrlZ) {
            m_ctrlZ = true;
            m_eof = true;
            break;
        }
        if (c == '\n') {
            ++m_pos;
            m_terminated = true;
            return true;
        }
        // A carriage return: part of the line end only when a line feed follows.
        if (m_pos + 1 >= m_buffer.size()) Fill();
        if (m_pos + 1 < m_buffer.size() && m_buffer[m_pos + 1] == '\n') {
            m_pos += 2;
            m_terminated = true;
            return true;
        }
        line += '\r';
        ++taken;
        ++m_pos;
    }
    // The end of the file (or a control-Z, or a read error).
    if (taken == 0) {
        m_exhausted = true;
        return false;
    }
    return true;
}

bool LineReader::CopyRemainder(ByteSink& sink) {
    if (!m_ctrlZ) return !m_failed;
    if (m_pos < m_buffer.size() && !sink.Write(m_buffer.data() + m_pos, m_buffer.size() - m_pos))
        return false;
    m_pos = m_buffer.size();
    char chunk[kChunk];
    for (;;) {
        const long n = m_source.Read(chunk, sizeof chunk);
        if (n < 0) {
            m_failed = true;
            return false;
        }
        if (n == 0) return true;
        if (!sink.Write(chunk, static_cast<size_t>(n))) return false;
    }
}

bool WriteLine(ByteSink& sink, std::string_view line) {
    return sink.Write(line.data(), line.size()) && sink.Write("\r\n", 2);
}

}  // namespace sx
