// Splits a command line into arguments the way the Windows platform does (CommandLineToArgvW), so the
// portable tests can check that each decoder option arrives as one argument.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace decoder {

// Rules:
// - The program name (first argument) ends at the next blank or tab; if it starts with a quotation
//   mark it ends at the next quotation mark, and backslashes are not special in it.
// - Other arguments are separated by blanks and tabs outside quotation marks.
// - 2n backslashes before a quotation mark give n backslashes and the mark opens or closes quoting;
//   2n+1 give n backslashes and a literal mark; backslashes before anything else are literal.
// - Inside quotes, a quotation mark directly after the closing one is taken literally (the platform's
//   "" rule: every third mark of a run is literal).
// An empty or all-blank line gives no arguments (the platform would return the program path).
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

}  // namespace decoder
