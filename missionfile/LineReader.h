// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing the game's text files line by line.
//
// Reading: a line ends at a line feed, which is consumed; a carriage return right before it is
// dropped, elsewhere it is an ordinary character. A read takes at most kMaxPiece characters, so a
// longer line comes in pieces (a line of exactly kMaxPiece characters is followed by an empty
// piece). The last line needs no line end. A read that finds the end of the file before taking
// any character yields an empty line and marks the file exhausted. A read error counts as the
// end of the file, and so does a control-Z.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace sx {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Up to size bytes: the count, 0 at the end, negative on an error.
    virtual long Read(char* buffer, size_t size) = 0;
};

class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual bool Write(const char* data, size_t size) = 0;
};

// A source over bytes held in memory (tests, and text already read).
class MemorySource : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    long Read(char* buffer, size_t size) override;

  private:
    std::string_view m_bytes;
    size_t m_pos = 0;
};

class StringSink : public ByteSink {
  public:
    bool Write(const char* data, size_t size) override {
        text.append(data, size);
        return true;
    }
    std::string text;
};

class LineReader {
  public:
    static constexpr size_t kMaxPiece = 1023;
    static constexpr size_t kWholeLines = static_cast<size_t>(-1);

    // maxPiece kWholeLines reads each line whole, however long (used where a copy must keep
    // long lines intact).
    explicit LineReader(ByteSource& source, size_t maxPiece = kMaxPiece);

    // Reads the next line. Returns false, with the line empty, when the read found the file
    // exhausted. The view stays valid until the next call.
    bool ReadLine(std::string_view& line);
    bool ReadLine(std::string& line);
    // The last line as it stood in the file, with the line end the read consumed (none for a
    // piece of a longer line, a line cut off by a control-Z, or the last line without one).
    std::string_view LastRaw() const { return m_raw; }
    bool Exhausted() const { return m_exhausted; }
    // True when the last line read ended at a line end (not at the end of the file, a
    // control-Z or the piece limit).
    bool LastLineTerminated() const { return m_terminated; }
    // True when a read error (not the end of the file) stopped the reading.
    bool Failed() const { return m_failed; }
    // True when a control-Z stopped the reading.
    bool StoppedAtControlZ() const { return m_stop != kNone && m_pos >= m_stop; }
    // Called before the reader moves or replaces its buffer, when views it gave out become
    // invalid: a copier that holds on to views hands them on here.
    void SetBeforeRefill(std::function<bool()> beforeRefill) {
        m_beforeRefill = std::move(beforeRefill);
    }
    // After a control-Z: copies the control-Z and every byte after it to the sink unchanged.
    // Returns false on a read or write error.
    bool CopyRemainder(ByteSink& sink);

  private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    bool Fill();  // reads more; false at the end of the file or on an error
    ByteSource& m_source;
    std::function<bool()> m_beforeRefill;
    size_t m_maxPiece;
    std::string m_buffer;
    size_t m_pos = 0;       // first unread byte
    size_t m_end = 0;       // end of the valid bytes
    size_t m_stop = kNone;  // where a control-Z ends the file, if one was read
    std::string_view m_raw;
    bool m_eof = false;
    bool m_exhausted = false;
    bool m_terminated = false;
    bool m_failed = false;
};

// Writes one line followed by CR LF.
bool WriteLine(ByteSink& sink, std::string_view line);

}  // namespace sx
