// The message store's and the feed's part in a decoder run: opening them, and saying their trouble
// in the log.
#include "app/main_frame.h"

#include "feed/udp_transport_win.h"
#include "messages/store_sink.h"
#include "win/utf8.h"

using win::Utf8;
using win::Wide;

std::wstring CMainFrame::MessageStoreFullPath() const {
    if (messageStorePath.empty()) return {};
    // A relative name is beside the decoder, in the current directory.
    wchar_t full[MAX_PATH * 4] = {};
    const DWORD n = ::GetFullPathNameW(messageStorePath.c_str(), MAX_PATH * 4, full, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : messageStorePath;
}

std::shared_ptr<decoder::IRecordSink> CMainFrame::OpenMessageStore(const std::wstring& commandLine,
                                                                   std::shared_ptr<feed::FeedSink> feed) {
    if (messageStorePath.empty()) return nullptr;
    const std::wstring path = MessageStoreFullPath();
    std::weak_ptr<decoder::HandOverSink> handOver = decoderHandOverSink;
    try {
        messages::StoreSinkOptions options;
        options.instance = Utf8(decoderInstanceName);
        options.commandLine = Utf8(commandLine);
        // Said once, on the writer's thread: the note joins the records in the hand-over queue.
        options.onError = [handOver](const std::string& error) {
            if (auto sink = handOver.lock()) sink->Note(L"Message store: " + Wide(error) + L"\n");
        };
        if (feed) {
            options.onWritten = [feed](const decoder::Record& record, std::int64_t copies) {
                feed->OnStored(record, copies);
            };
        }
        // The keep rows are read at each start: a change applies from the next run.
        const settings::Settings current = CurrentSettings();
        messages::StoreOptions storeOptions = messageStoreOptions;
        storeOptions.keepRecordsDays = current.keepRecordDays;
        storeOptions.keepMessagesDays = current.keepMessageDays;
        auto sink = std::make_shared<messages::StoreSink>(messages::MessageStore::Open(Utf8(path), storeOptions),
                                                          std::move(options));
        // The messages pane browses the store the run writes to (the path may have changed since).
        messagesPane.SetStorePath(path);
        return sink;
    } catch (const std::exception& error) {
        messagesPane.SetStorePath(path);
        // Refused files are left as they are; the run, the log and the text log go on without it.
        decoderLog.Append((L"Message store: " + Wide(error.what()) + L"\n").c_str(), -1,
                          &logFormats[decoder::Index(decoder::Category::DecoderNote)]);
        return nullptr;
    }
}

std::shared_ptr<feed::FeedSink> CMainFrame::MakeFeed(bool fromStore) {
    // The rows are read at each start: a change applies from the next run.
    const settings::Settings current = CurrentSettings();
    if (current.feedTo.find_first_not_of(L" \t,;") == std::wstring::npos) return nullptr;
    feed::FeedOptions options;
    options.destinations = Utf8(current.feedTo);
    options.station = Utf8(current.feedStation);
    options.everyRecord = current.feedAll;
    options.fromStore = fromStore;
    std::weak_ptr<decoder::HandOverSink> handOver = decoderHandOverSink;
    options.note = [handOver](const std::string& note) {
        if (auto sink = handOver.lock()) sink->Note(Wide(note) + L"\n");
    };
    return feed::MakeUdpFeed(std::move(options));
}
