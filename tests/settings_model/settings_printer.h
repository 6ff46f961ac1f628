// Prints a Settings field by field, so that a failed comparison says which field differs.
#pragma once
#include <ostream>
#include <string>

#include "settings/settings_model.h"

namespace settings {

inline std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

inline void PrintTo(const Settings& s, std::ostream* os) {
    *os << "{soundCard " << s.soundCard << ", sampleRate " << s.sampleRate << ", cardChannel " << s.cardChannel
        << ", centre " << s.centerFrequency << ", upd " << s.checkForUpdates << ", hide " << s.hideDecoderWindow
        << ", noFft " << s.disableFftWhileDecoding << ", fileDir '" << Narrow(s.fileLogDir) << "' " << s.fileLogEgc
        << s.fileLogMessages << s.fileLogRaw << ", tarDir '" << Narrow(s.tarLogDir) << "' " << s.tarLogEgc
        << s.tarLogMessages << s.tarLogRaw << ", logDir '" << Narrow(s.decoderLogDir) << "' " << s.decoderTextLog
        << s.decoderLogUseFilter << "}";
}

}  // namespace settings
