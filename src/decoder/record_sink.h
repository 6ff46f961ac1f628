// Where a run's records go: the sink interface, the ordered list of a run's sinks, and the sink
// every run has (the log filter's text log).
//
// Portable: no Windows header.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "decoder/decoder_record.h"

namespace decoder {

// Receives every record of a run on the reader thread, in order. OnRecord must not block: a sink
// with slow work (a database, the network) hands it to a thread of its own (see sink_worker.h).
class IRecordSink {
public:
    virtual ~IRecordSink() = default;
    virtual void OnRunStarted() {}
    virtual void OnRecord(const Record& record) = 0;
    // After the last record, when the reader ends (by a stop or by itself). A sink finishes what it
    // holds here: once the reader has ended, everything a sink was given is done.
    virtual void OnRunEnded() {}
};

// Which categories the log shows. Toggled by the user-interface thread and read by the reader; a
// run holds its own share, so a reader that outlives the window still reads valid memory.
class LogFilter {
public:
    LogFilter();
    bool Shown(Category c) const { return shown_[static_cast<std::size_t>(Index(c))].load(); }
    bool Shown(int category) const;  // false outside 0..5
    void Set(int category, bool shown);

private:
    std::array<std::atomic<bool>, kCategories> shown_;
};

// The run's sinks in their order. A sink that throws is skipped for that call; the others still
// get the record.
class RecordSinks {
public:
    void Add(std::shared_ptr<IRecordSink> sink);
    void RunStarted();
    void Deliver(const Record& record);
    void RunEnded();
    std::uint64_t failures() const { return failures_.load(); }
    bool empty() const { return sinks_.empty(); }

private:
    template <class Call>
    void Each(Call&& call);

    std::vector<std::shared_ptr<IRecordSink>> sinks_;
    std::atomic<std::uint64_t> failures_{0};
};

// The decoder text log: every record's text, or only the shown ones', flushed per record so that
// the file is complete whatever happens to the process later. Owns the file.
//
// Daily, it starts a new file at each UTC midnight: the first record (or note) of a later day closes
// the file and goes, with everything after it, to a file opened at that record's time. A new file
// that cannot be made leaves the old one in use, so no record is lost.
class TextLogSink : public IRecordSink {
public:
    // Opens the file of a new day at `utcMs`; null when it cannot be made.
    using FileOpener = std::function<std::FILE*(std::int64_t utcMs)>;

    TextLogSink(std::FILE* file, bool onlyShown, std::shared_ptr<const LogFilter> filter);
    // Daily: `file` was opened at `openedUtcMs`, `openNext` opens the next day's.
    TextLogSink(std::FILE* file, std::int64_t openedUtcMs, FileOpener openNext, bool onlyShown,
                std::shared_ptr<const LogFilter> filter);
    ~TextLogSink() override;
    void OnRecord(const Record& record) override;
    // A note of the front end's own at `utcMs`, written whatever the filter says.
    void Note(std::string_view text, std::int64_t utcMs);
    void Close();
    // Files this sink has written to, the first one included.
    std::uint64_t files() const { return files_.load(); }

private:
    void Write(std::string_view text, std::int64_t utcMs);

    std::mutex lock_;  // the reader writes records, the window its notes
    std::FILE* file_;
    const bool onlyShown_;
    std::shared_ptr<const LogFilter> filter_;
    FileOpener openNext_;
    std::int64_t day_ = 0;  // the UTC day of the open file
    std::atomic<std::uint64_t> files_{1};
};

}  // namespace decoder
