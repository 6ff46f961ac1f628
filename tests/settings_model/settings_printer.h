// Prints a Settings field by field, so that a failed comparison says which field differs.
#pragma once
#include <ostream>
#include <string>

#include "settings/settings_model.h"

namespace settings {

inline std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

inline void PrintTo(const Settings& s, std::ostream* os) {
    *os << "{card " << s.soundCard << ", rate " << s.sampleRate << ", channel " << s.cardChannel << ", centre "
        << s.centerFrequency << ", switches " << s.checkForUpdates << s.hideDecoderWindow << s.disableFftWhileDecoding
        << " file '" << Narrow(s.fileLogDir) << "' " << s.fileLogEgc << s.fileLogMessages << s.fileLogRaw << " tar '"
        << Narrow(s.tarLogDir) << "' " << s.tarLogEgc << s.tarLogMessages << s.tarLogRaw << " log '"
        << Narrow(s.decoderLogDir) << "' " << s.decoderTextLog << s.decoderLogUseFilter << "}";
}

}  // namespace settings
