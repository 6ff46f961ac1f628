// The filter's tokenizer: UTF-8 checked, columns counted in characters.
#include "messages/filter_lexer.h"

#include <cstdint>

#include "messages/filter.h"
#include "messages/text_fold.h"

namespace messages::filter_tree {

void Fail(const std::string& what, int column, int endColumn, const std::string& after) {
    throw SyntaxError{what + " at column " + std::to_string(column) + after, column, endColumn};
}

namespace {

// Length of the well-formed UTF-8 sequence at s[i] (no overlongs, surrogates or values past
// U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80) return 1;
    std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (n == 0 || c > 0xF4 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    }
    unsigned char d = b(i + 1);
    if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0) || (c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90))
        return 0;
    return n;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsPunct(char c) {
    return c == '(' || c == ')' || c == '!' || c == '&' || c == '|' || c == '=' || c == '<' || c == '>' ||
           c == '~' || c == '"';
}

class Lexer {
public:
    explicit Lexer(std::string_view s) : s_(s) {}

    std::vector<Token> Run() {
        std::vector<Token> out;
        for (;;) {
            while (i_ < s_.size() && IsBlank(s_[i_])) Advance();
            Token t;
            t.column = column_;
            if (i_ == s_.size()) {
                t.endColumn = column_;
                out.push_back(std::move(t));
                return out;
            }
            char c = s_[i_];
            if (c == '"') {
                String(t);
            } else if (IsPunct(c)) {
                Operator(t);
            } else {
                Word(t);
            }
            t.endColumn = column_;
            out.push_back(std::move(t));
        }
    }

private:
    // Moves past one character (checked well-formed before lexing began).
    void Advance() {
        i_ += SequenceLength(s_, i_);
        ++column_;
    }

    void Operator(Token& t) {
        char c = s_[i_];
        char next = i_ + 1 < s_.size() ? s_[i_ + 1] : '\0';
        std::size_t n = 1;
        switch (c) {
            case '(': t.kind = Tok::LParen; break;
            case ')': t.kind = Tok::RParen; break;
            case '&': t.kind = Tok::And; break;
            case '|': t.kind = Tok::Or; break;
            case '~': t.kind = Tok::Tilde; break;
            case '=': t.kind = Tok::Eq; break;
            case '!': t.kind = next == '=' ? (n = 2, Tok::Ne) : Tok::Not; break;
            case '<': t.kind = next == '=' ? (n = 2, Tok::Le) : Tok::Lt; break;
            default: t.kind = next == '=' ? (n = 2, Tok::Ge) : Tok::Gt; break;
        }
        t.text.assign(s_.substr(i_, n));
        for (std::size_t k = 0; k < n; ++k) Advance();
    }

    void Word(Token& t) {
        t.kind = Tok::Word;
        std::size_t start = i_;
        while (i_ < s_.size() && !IsBlank(s_[i_]) && !IsPunct(s_[i_])) Advance();
        t.text.assign(s_.substr(start, i_ - start));
    }

    void String(Token& t) {
        t.kind = Tok::String;
        Advance();  // the opening quote
        for (;;) {
            if (i_ == s_.size()) Fail("unterminated string", t.column, column_, " (a closing '\"' is missing)");
            char c = s_[i_];
            if (c == '"') break;
            if (c == '\\') {
                int at = column_;
                char e = i_ + 1 < s_.size() ? s_[i_ + 1] : '\0';
                if (e != '"' && e != '\\') Fail("unknown escape in string", at, at + 1, " (use \\\" or \\\\)");
                t.text.push_back(e);
                Advance();
                Advance();
                continue;
            }
            std::size_t n = SequenceLength(s_, i_);
            t.text.append(s_.substr(i_, n));
            Advance();
        }
        Advance();  // the closing quote
    }

    std::string_view s_;
    std::size_t i_ = 0;
    int column_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view s) {
    // Check the whole text first, so that every later step walks well-formed characters.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < s.size(); ++characters) {
        int column = static_cast<int>(characters) + 1;
        std::size_t n = SequenceLength(s, i);
        if (n == 0) Fail("invalid UTF-8", column, column + 1);
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) {
            Fail("control character", column, column + 1, " (only blanks, tabs and line breaks may separate words)");
        }
        i += n;
        // The limit stops the scan as well, so a hostile megabyte costs no more than the limit.
        if (characters + 1 > kFilterMaxCharacters) {
            Fail("expression longer than " + std::to_string(kFilterMaxCharacters) + " characters",
                 static_cast<int>(kFilterMaxCharacters) + 1, static_cast<int>(CharacterCount(s)) + 1);
        }
    }
    return Lexer(s).Run();
}

}  // namespace messages::filter_tree
