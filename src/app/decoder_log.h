// CDecoderLog owns the decoder log's view: appending in the record categories' colours, clearing, and
// the bound on the lines it keeps.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string_view>

#include "controls/log_view.h"
#include "decoder/decoder_record.h"
#include "win/handles.h"

class CDecoderLog {
public:
    CDecoderLog() = default;
    CDecoderLog(const CDecoderLog&) = delete;
    CDecoderLog& operator=(const CDecoderLog&) = delete;

    // Creates the hidden, read-only view as a child of `parent` with control id `id`. False on failure.
    bool Create(HWND parent, int id);
    HWND hwnd() const { return view_.hwnd(); }

    // Appends text at the end in the category's colour. Keeps a user's selection and view, otherwise
    // follows the newest text.
    void Append(std::wstring_view text, decoder::Category category);
    // The same in the colour the last text had.
    void AppendInColourInForce(std::wstring_view text);

    // Empties the log and returns it to no text, in time that does not grow with what the log held.
    void Clear();
    // Draws what the appends changed, if the log is shown.
    void DrawPending() { view_.DrawPending(); }

    // Keeps at most `lines` whole lines (0: all). Past the bound, the oldest lines leave the top; a
    // user's selection and view stay on the same text.
    void SetLineLimit(std::size_t lines) { view_.text().SetLineLimit(lines); }
    std::size_t LineLimit() const { return view_.text().LineLimit(); }
    // Lines held, the last one counted once it ends.
    std::size_t Lines() const { return view_.text().Lines(); }

private:
    win::UniqueFont font_;  // declared first, so it outlives the view's window
    CLogView view_;
};
