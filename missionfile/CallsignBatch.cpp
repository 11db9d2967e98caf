// SPDX-License-Identifier: GPL-3.0-or-later
#include "missionfile/CallsignBatch.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "missionfile/FileStreams.h"
#include "missionfile/MissionFile.h"
#include "missionfile/MissionText.h"
#include "base/Text.h"
#include "os/Process.h"

namespace sx {

namespace {

// Compares what a copy writes with the bytes of the file it copies, as they come: no more of
// either in memory than a piece.
class ComparingSink : public ByteSink {
  public:
    explicit ComparingSink(os::InputFile& original) : m_file(original) {}
    bool Write(const char* data, size_t size) override {
        while (size > 0 && m_same) {
            if (m_pos == m_end && !Refill()) {
                m_same = false;
                break;
            }
            const size_t n = std::min(size, m_end - m_pos);
            m_same = std::memcmp(data, m_buf + m_pos, n) == 0;
            data += n;
            size -= n;
            m_pos += n;
        }
        return true;
    }
    // True when what was written is the file's bytes, all of them.
    bool Same() { return m_same && m_pos == m_end && !Refill(); }

  private:
    bool Refill() {
        const std::ptrdiff_t n = m_file.Read(m_buf, sizeof m_buf);
        m_pos = 0;
        m_end = n > 0 ? static_cast<size_t>(n) : 0;
        return n > 0;
    }
    os::InputFile& m_file;
    char m_buf[1 << 14];
    size_t m_pos = 0, m_end = 0;
    bool m_same = true;
};

// Why a mission could not be changed, in the user's words; reading: it failed before anything
// was written.
std::string Reason(std::error_code err, bool inUse, bool reading) {
    using std::errc;
    if (inUse || err == errc::device_or_resource_busy) return "it is in use by another program";
    if (err == errc::too_many_symbolic_link_levels) return "it is a link";
    if (err == errc::no_such_file_or_directory) return "it is gone";
    if (err == errc::is_a_directory || err == errc::invalid_argument) return "it is not a file";
    if (err == errc::read_only_file_system) return "it lies on a read-only disk";
    if (err == errc::permission_denied || err == errc::operation_not_permitted)
        return "it may not be changed";
    if (err == errc::no_space_on_device) return "the disk is full";
    return reading ? "it could not be read" : "it could not be written";
}

enum class Found { Rewrite, Already, NoRecord, Unreadable };

// A mission of at most this size is read once into memory: its look and its copy come from
// there, and the copy is made once.
constexpr size_t kInMemory = 1 << 20;

// What the rewrite of a mission would do; for a small mission, its bytes and the copy the
// rewrite writes. The buffers are kept from one mission to the next.
struct Look {
    Found found = Found::Unreadable;
    std::error_code why;
    bool inMemory = false;
    std::string bytes, copy;

    // Looks at the opened mission in.
    void At(os::InputFile& in, const std::string& callsign) {
        inMemory = false;
        why = {};
        // Small: read whole, the copy made in memory and compared there.
        bytes.clear();
        char buffer[1 << 16];
        for (;;) {
            const std::ptrdiff_t n = in.Read(buffer, sizeof buffer);
            if (n < 0) {
                why = std::make_error_code(std::errc::io_error);
                found = Found::Unreadable;
                return;
            }
            if (n == 0) {
                inMemory = true;
                break;
            }
            bytes.append(buffer, static_cast<size_t>(n));
            if (bytes.size() > kInMemory) break;
        }
        int records = 0;
        if (inMemory) {
            MemorySource source(bytes);
            StringSink sink;
            sink.text.swap(copy);
            sink.text.clear();
            const bool copied = CopyWithCallsign(source, sink, callsign, &records);
            copy.swap(sink.text);
            found = !copied ? Found::Unreadable : records == 0 ? Found::NoRecord
                          : copy == bytes                     ? Found::Already
                                                              : Found::Rewrite;
            return;
        }
        // Large: a copy compared with the mission as they come, neither in memory but a piece.
        os::InputFile from, original;
        if (!from.OpenSame(in) || !original.OpenSame(in)) {
            why = from.IsOpen() ? original.OpenError() : from.OpenError();
            found = Found::Unreadable;
            return;
        }
        FileSource source(from);
        ComparingSink compare(original);
        if (!CopyWithCallsign(source, compare, callsign, &records)) {
            why = std::make_error_code(std::errc::io_error);
            found = Found::Unreadable;
            return;
        }
        found = records == 0 ? Found::NoRecord : compare.Same() ? Found::Already : Found::Rewrite;
    }
    // Writes the copy of the mission in, as the look found it.
    bool Write(os::InputFile& in, const std::string& callsign, os::OutputFile& out) const {
        return inMemory ? out.Write(copy) : WriteCallsignCopy(in, callsign, out);
    }
};

}  // namespace

std::string BatchSummaryText(const BatchSummary& s) {
    std::string text = "Callsign set in " + Counted(s.set, "mission", "missions") + ".\n" +
                       std::to_string(s.already) + " already had it.\n" +
                       std::to_string(s.noRecord) +
                       (s.noRecord == 1 ? " has no player record." : " have no player record.");
    if (!s.failed.empty()) {
        text += "\n" + std::to_string(s.failed.size()) + " could not be changed:";
        for (size_t i = 0; i < s.failed.size() && i < kSummaryNamed; ++i)
            text += "\n" + s.failed[i].name + ": " + s.failed[i].reason;
        if (s.failed.size() > kSummaryNamed)
            text += "\nand " + std::to_string(s.failed.size() - kSummaryNamed) + " more";
    }
    if (s.cancelled)
        text += "\nCancelled after " + std::to_string(s.done) + " of " +
                Counted(s.total, "mission", "missions") + ".";
    return text;
}

BatchSummary SetCallsignInAll(const std::vector<std::string>& names, const std::string& callsign,
                              const os::LockWait& waitForLock, const BatchProgress& progress) {
    BatchSummary summary;
    summary.total = static_cast<int>(names.size());
    // Another program's lock is waited for once a batch; after that a held mission is in use.
    bool waited = false;
    const os::LockWait once = [&](const std::function<bool()>& tryLock) {
        if (waited || !waitForLock) return tryLock();
        waited = true;
        return waitForLock(tryLock);
    };
    Look look;
    const os::CopyWriter writeCopy = [&](os::InputFile& in, os::OutputFile& out) {
        return look.Write(in, callsign, out);
    };
    os::ReplacementGroup group;
    std::vector<size_t> added;  // the missions of the group, by their index
    // Failures as they come, with their place in the list: a copy fails at the group's commit,
    // after missions that come later in the list failed.
    std::vector<BatchFailure> failed;
    const auto fail = [&](size_t index, std::error_code err, bool inUse, bool reading = false) {
        failed.push_back({names[index], Reason(err, inUse, reading), index});
    };
    const auto commit = [&] {
        if (added.empty()) return;
        const int count = static_cast<int>(added.size());
        if (progress.placing) progress.placing(count);
        const std::vector<os::ReplaceResult> results = group.Commit([&](size_t) {
            if (progress.placing) progress.placing(count);
        });
        for (size_t i = 0; i < results.size(); ++i) {
            if (results[i].ok)
                ++summary.set;
            else
                fail(added[i], results[i].error, results[i].inUse);
        }
        added.clear();
    };
    for (size_t index = 0; index < names.size(); ++index) {
        const std::string& name = names[index];
        if (progress.copying && !progress.copying(static_cast<int>(index), name)) {
            summary.cancelled = true;
            break;
        }
        ++summary.done;
        look.found = Found::Unreadable;
        const os::ReplaceResult result = group.Add(name, writeCopy, once, [&](os::InputFile& file) {
            look.At(file, callsign);
            return look.found == Found::Rewrite;
        });
        const Found found = look.found;
        if (result.ok) {
            added.push_back(index);
            if (group.Full()) commit();
        } else if (!result.unchanged) {
            fail(index, result.error, result.inUse);
        } else if (found == Found::NoRecord) {
            ++summary.noRecord;
        } else if (found == Found::Already) {
            ++summary.already;
        } else {
            fail(index, look.why, false, true);
        }
    }
    commit();
    std::stable_sort(failed.begin(), failed.end(),
                     [](const BatchFailure& a, const BatchFailure& b) { return a.index < b.index; });
    summary.failed = std::move(failed);
    return summary;
}

void OtherCallsignCount::Restart(const std::string& callsign) {
    m_callsign = callsign;
    m_next = 0;
    m_other = 0;
}

bool OtherCallsignCount::Step(int64_t budgetMs) {
    const int64_t until = os::MonotonicMilliseconds() + budgetMs;
    Look look;
    while (m_next < m_names.size()) {
        os::InputFile in;
        if (in.Open(m_names[m_next])) {
            look.At(in, m_callsign);
            m_other += look.found == Found::Rewrite;
        }
        ++m_next;
        if (os::MonotonicMilliseconds() >= until) break;
    }
    return Done();
}

}  // namespace sx
