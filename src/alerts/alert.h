// What an alert says: the message's id in the store, when it was heard, a headline for the
// notification, and the message as one line of the feed's JSON for the programs run on alerts.
// Portable: no Windows header.
#pragma once
#include <cstdint>
#include <string>

#include "decoder/decoder_record.h"
#include "decoder/log_update.h"

namespace alerts {

// The alert a new message raises; `station` is the feed's station name.
decoder::RunAlert MakeAlert(const decoder::Record& record, std::int64_t messageId, const std::string& station);

// The warning's name ("NAVAREA I 123/26") when the message reads as a numbered warning, else its
// first line that is not blank, cut to `maxCharacters`.
std::wstring Headline(const decoder::Record& record, std::size_t maxCharacters = 120);

}  // namespace alerts
