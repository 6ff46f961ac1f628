// A messages pane browsing a store file of the test's own, with helpers that read the list as shown.
#pragma once
#include "msg_frame_fixture.h"

#include <algorithm>

#include "browser_model/browser_store.h"
#include "decoder/utc_clock.h"
#include "messages/filter.h"

class MsgBrowserTest : public MsgFrameTest {
protected:
    void SetUp() override {
        MsgFrameTest::SetUp();
        store = std::make_unique<browsertest::StoreFile>(
            std::string("pane_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        pane.reset();  // its connection goes before the file
        store.reset();
        MsgFrameTest::TearDown();
    }

    static std::int64_t Now() { return decoder::SystemUtcMs(); }

    // Forty varied messages, one every 20 minutes back from now, through the store's own writer.
    void FillVaried() {
        const char* texts[] = {"MAYDAY VESSEL AGROUND", "GALE WARNING AREA 3", "routine traffic list",
                               "PAN PAN MAN OVERBOARD", "SECURITE NAVAREA", "weather bulletin\nGALE WARNING later",
                               "cargo note", "DISTRESS RELAY"};
        const std::int64_t now = Now();
        for (int i = 0; i < 40; ++i) {
            auto row = browsertest::Message(now - (40 - i) * 20 * 60'000LL, i % 3 == 0 ? 121 : 112 + i % 2,
                                            900 + i * 50, std::string(texts[i % 8]) + " #" + std::to_string(i),
                                            1 + i % 4);
            row.id = store->Add(row);
            rows.push_back(row);
        }
    }
    void Browse() {
        pane->SetStorePath(store->fsPath().wstring());
        guitest::Pump();
    }

    // The ids the in-memory filter passes, newest first.
    std::vector<std::int64_t> Expected(const std::string& expression) const {
        messages::Filter filter;
        messages::FilterError error;
        EXPECT_TRUE(messages::Filter::Parse(expression, filter, error)) << error.message;
        std::vector<std::int64_t> ids;
        const std::int64_t now = Now();
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            if (filter.Matches(*it, now)) ids.push_back(it->id);
        return ids;
    }

    int ItemCount() const { return static_cast<int>(::SendMessageW(pane->list(), LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int item, int column) const {
        wchar_t text[512] = {};
        LVITEMW lv{};
        lv.iSubItem = column;
        lv.pszText = text;
        lv.cchTextMax = 512;
        ::SendMessageW(pane->list(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
        return text;
    }
    // The message of each row as the list shows it (the Message column), top to bottom.
    std::vector<std::wstring> Shown() const {
        std::vector<std::wstring> out;
        for (int i = 0; i < ItemCount(); ++i) out.push_back(Cell(i, 6));
        return out;
    }
    std::vector<std::wstring> FirstLinesOf(const std::vector<std::int64_t>& ids) const {
        std::vector<std::wstring> out;
        for (std::int64_t id : ids) {
            const auto& row = *std::find_if(rows.begin(), rows.end(), [id](const auto& r) { return r.id == id; });
            const std::string line = row.text.substr(0, row.text.find('\n'));
            out.emplace_back(line.begin(), line.end());
        }
        return out;
    }
    int Selected() const {
        return static_cast<int>(::SendMessageW(pane->list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    void Select(int item) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(pane->list(), LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
        guitest::Pump();
    }
    // The text view's text with the rich edit's paragraph ends (CR) back as line feeds.
    std::wstring ViewText() const {
        std::wstring text = guitest::WindowText(pane->textView());
        std::wstring out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\r') {
                out += L'\n';
                if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            } else {
                out += text[i];
            }
        }
        return out;
    }
    void SearchFor(const std::wstring& expression) {
        ::SetWindowTextW(pane->filterEdit(), expression.c_str());
        ::SendMessageW(pane->searchButton(), BM_CLICK, 0, 0);
        guitest::Pump();
    }

    std::unique_ptr<browsertest::StoreFile> store;
    std::vector<messages::MessageRow> rows;
};
