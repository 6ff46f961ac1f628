// The hand-over of a run's records to the user-interface thread.
//
// The reader never touches a window: the hand-over sink queues what each record does to the windows
// and posts a message to a message-only window of the user-interface thread, which applies the
// queue in order. Because the reader never waits for the user-interface thread, a stop that waits
// for the reader cannot deadlock with it; the stop drains the queue itself once the reader has ended.
#pragma once
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "decoder/log_update.h"
#include "decoder/record_sink.h"
#include "win/window.h"

namespace decoder {

class HandOverSink : public IRecordSink {
public:
    // Asks `notify` to drain with `notifyMessage`, and says the reader's end at once to `endNotify`
    // (`endMessage`, wParam `endTag`), ahead of what still waits in the queue: the status and a
    // restart need not wait until the log has caught up.
    HandOverSink(std::shared_ptr<const LogFilter> filter, HWND notify, UINT notifyMessage, HWND endNotify,
                 UINT endMessage, WPARAM endTag);

    // "Decoder started\n", before any record.
    void OnRunStarted() override;
    void OnRecord(const Record& record) override;
    // Says that the reader ended (see endNotify), once everything else has been handed over.
    void OnRunEnded() override;

    // A red note of the front end's own (the decoder notes' colour), in order with the records.
    void Note(std::wstring text);
    // An alert, in order with the records (from the store's writer thread, after its message).
    void Alert(RunAlert alert);

    std::deque<LogUpdate> TakeAll();
    // At most `limit` updates from the front; `more` tells whether others wait.
    std::deque<LogUpdate> TakeSome(std::size_t limit, bool& more);
    // No more messages once the run is stopped; what is queued is taken by the stop.
    void Detach() {
        notify_.store(nullptr);
        endNotify_.store(nullptr);
    }
    void AskForDrain() const;

private:
    void Push(LogUpdate update);

    std::shared_ptr<const LogFilter> filter_;
    std::atomic<HWND> notify_;
    const UINT notifyMessage_;
    std::atomic<HWND> endNotify_{nullptr};
    const UINT endMessage_ = 0;
    const WPARAM endTag_ = 0;
    std::mutex lock_;
    std::deque<LogUpdate> queue_;
};

// Message-only window on the user-interface thread that applies queued updates, hears that a run's
// reader ended, and times a restart.
//
// The sink posts one message when its queue stops being empty. While a run lasts, a slow timer
// drains as well: should that message ever be taken by someone else, the queue would otherwise
// never be empty again, no further message would come, and the log would stop following the run.
class HandOverWindow : public win::Window {
public:
    static constexpr UINT kDrainMessage = WM_APP + 0x41;
    // Posted when a run's reader has ended; wParam is the run's number.
    static constexpr UINT kEndedMessage = WM_APP + 0x42;
    static constexpr UINT_PTR kBackstopTimer = 1;
    static constexpr UINT_PTR kRestartTimer = 2;
    static constexpr UINT_PTR kSilenceTimer = 3;
    static constexpr UINT kBackstopMs = 250;
    bool CreateHandOver();
    void StartBackstop();
    void StopBackstop();
    std::function<void()> onDrain;
    std::function<void(WPARAM run)> onEnded;
    std::function<void()> onRestartTimer;
    std::function<void()> onSilenceTimer;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace decoder
