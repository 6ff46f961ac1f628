// The hand-over sink's queue and the window that drains it.
#include "decoder/hand_over_win.h"

namespace decoder {

namespace {

std::wstring Widen(std::string_view bytes) {
    // Header bytes become one character each, as they are.
    std::wstring out;
    for (unsigned char c : bytes) out.push_back(static_cast<wchar_t>(c));
    return out;
}

}  // namespace

HandOverSink::HandOverSink(std::shared_ptr<const LogFilter> filter, HWND notify, UINT notifyMessage, HWND endNotify,
                           UINT endMessage, WPARAM endTag)
    : filter_(std::move(filter)),
      notify_(notify),
      notifyMessage_(notifyMessage),
      endNotify_(endNotify),
      endMessage_(endMessage),
      endTag_(endTag) {}

void HandOverSink::OnRunStarted() {
    LogUpdate started;
    started.show = true;
    started.text = L"Decoder started\n";
    Push(std::move(started));
}

void HandOverSink::OnRecord(const Record& record) {
    LogUpdate update;
    update.category = record.category;
    if (record.category == Category::BulletinHeader) {
        update.headerFields = true;
        update.les = Widen(record.les);
        update.frame = Widen(record.frame);
        update.hasFrequency = record.hasFrequency;
        update.frequencyHz = record.frequencyHz;
    }
    if (filter_ && filter_->Shown(record.category)) {
        update.show = true;
        update.text = record.wideText;
    }
    if (update.headerFields || update.show) Push(std::move(update));
}

void HandOverSink::OnRunEnded() {
    // The records are all queued by now; the word goes past them, so that a long queue (a log far
    // behind a fast stream) does not hold back what the status says or a restart.
    if (HWND target = endNotify_.load()) ::PostMessageW(target, endMessage_, endTag_, 0);
}

void HandOverSink::Note(std::wstring text) {
    LogUpdate note;
    note.category = Category::DecoderNote;
    note.show = true;
    note.text = std::move(text);
    Push(std::move(note));
}

void HandOverSink::Alert(RunAlert alert) {
    LogUpdate update;
    update.alert = std::move(alert);
    Push(std::move(update));
}

void HandOverSink::AskForDrain() const {
    if (HWND target = notify_.load()) ::PostMessageW(target, notifyMessage_, 0, 0);
}

void HandOverSink::Push(LogUpdate update) {
    bool wasEmpty = false;
    {
        std::lock_guard<std::mutex> guard(lock_);
        wasEmpty = queue_.empty();
        queue_.push_back(std::move(update));
    }
    // One message per batch, not per record: a thread's posted-message queue holds 10,000 messages,
    // and a flood of records would otherwise fill it and strand the last records until the stop.
    // A drain takes what is queued, so a message is owed only when the queue was empty.
    if (wasEmpty) AskForDrain();
}

std::deque<LogUpdate> HandOverSink::TakeAll() {
    std::lock_guard<std::mutex> guard(lock_);
    std::deque<LogUpdate> taken;
    taken.swap(queue_);
    return taken;
}

std::deque<LogUpdate> HandOverSink::TakeSome(std::size_t limit, bool& more) {
    std::lock_guard<std::mutex> guard(lock_);
    std::deque<LogUpdate> taken;
    if (queue_.size() <= limit) {
        taken.swap(queue_);
    } else {
        for (std::size_t i = 0; i < limit; ++i) {
            taken.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
    }
    more = !queue_.empty();
    return taken;
}

bool HandOverWindow::CreateHandOver() {
    const RECT none{};
    return Create(HWND_MESSAGE, none, L"", 0, 0) != nullptr;
}

void HandOverWindow::StartBackstop() { ::SetTimer(hwnd(), kBackstopTimer, kBackstopMs, nullptr); }

void HandOverWindow::StopBackstop() { ::KillTimer(hwnd(), kBackstopTimer); }

LRESULT HandOverWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER && wParam == kRestartTimer) {
        if (onRestartTimer) onRestartTimer();
        return 0;
    }
    if (msg == WM_TIMER && wParam == kSilenceTimer) {
        if (onSilenceTimer) onSilenceTimer();
        return 0;
    }
    if (msg == kEndedMessage) {
        if (onEnded) onEnded(wParam);
        return 0;
    }
    if (msg == kDrainMessage || msg == WM_TIMER) {
        if (onDrain) onDrain();
        return 0;
    }
    return DefaultHandling(msg, wParam, lParam);
}

}  // namespace decoder
