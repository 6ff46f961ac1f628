// The filter's tokens, with the character columns they cover (internal to the filter).
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace messages::filter_tree {

enum class Tok { End, Word, String, LParen, RParen, Not, And, Or, Eq, Ne, Lt, Le, Gt, Ge, Tilde };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // a word as typed, a string without quotes and escapes, an operator's spelling
    int column = 0;    // first character, 1-based
    int endColumn = 0; // one past the last
};

// A syntax error on its way to FilterError.
struct SyntaxError {
    std::string message;  // complete, with its "at column N"
    int column;
    int endColumn;
};

// Builds "<what> at column N<after>" for characters [column, endColumn).
[[noreturn]] void Fail(const std::string& what, int column, int endColumn, const std::string& after = "");

// Splits the expression; throws SyntaxError for invalid UTF-8, a control character, an unterminated
// string or an unknown escape, and for an expression over kFilterMaxCharacters. The last token is End.
std::vector<Token> Tokenize(std::string_view expression);

}  // namespace messages::filter_tree
