// The run's sinks: dispatch in order, the filter and the text log.
#include "decoder/record_sink.h"


#include "decoder/command_line.h"

namespace decoder {

LogFilter::LogFilter() {
    for (auto& s : shown_) s.store(false);
}

bool LogFilter::Shown(int category) const {
    return category >= 0 && category < kCategories && shown_[static_cast<std::size_t>(category)].load();
}

void LogFilter::Set(int category, bool shown) {
    if (category >= 0 && category < kCategories) shown_[static_cast<std::size_t>(category)].store(shown);
}

void RecordSinks::Add(std::shared_ptr<IRecordSink> sink) {
    if (sink) sinks_.push_back(std::move(sink));
}

template <class Call>
void RecordSinks::Each(Call&& call) {
    for (const auto& sink : sinks_) {
        try {
            call(*sink);
        } catch (...) {
            // One sink's trouble is its own: the record still goes to the others.
            ++failures_;
        }
    }
}

void RecordSinks::RunStarted() {
    Each([](IRecordSink& s) { s.OnRunStarted(); });
}

void RecordSinks::Deliver(const Record& record) {
    Each([&](IRecordSink& s) { s.OnRecord(record); });
}

void RecordSinks::RunEnded() {
    Each([](IRecordSink& s) { s.OnRunEnded(); });
}

TextLogSink::TextLogSink(std::FILE* file, bool onlyShown, std::shared_ptr<const LogFilter> filter)
    : file_(file), onlyShown_(onlyShown), filter_(std::move(filter)) {}

TextLogSink::TextLogSink(std::FILE* file, std::int64_t openedUtcMs, FileOpener openNext, bool onlyShown,
                         std::shared_ptr<const LogFilter> filter)
    : file_(file), onlyShown_(onlyShown), filter_(std::move(filter)), openNext_(std::move(openNext)),
      day_(UtcDay(openedUtcMs)) {}

TextLogSink::~TextLogSink() { Close(); }

void TextLogSink::Close() {
    std::lock_guard<std::mutex> guard(lock_);
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void TextLogSink::OnRecord(const Record& record) {
    if (onlyShown_ && !(filter_ && filter_->Shown(record.category))) return;
    Write(record.text, record.receivedUtcMs);
}

void TextLogSink::Note(std::string_view text, std::int64_t utcMs) { Write(text, utcMs); }

void TextLogSink::Write(std::string_view text, std::int64_t utcMs) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!file_) return;
    // Only forward: a clock set back does not split the day again.
    if (openNext_ && UtcDay(utcMs) > day_) {
        day_ = UtcDay(utcMs);
        if (std::FILE* next = openNext_(utcMs)) {
            std::fclose(file_);
            file_ = next;
            ++files_;
        }
    }
    // Write errors are not the run's concern: the log and the other sinks go on.
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
}

}  // namespace decoder
