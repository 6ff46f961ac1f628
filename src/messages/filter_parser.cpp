// The filter's parser: an `or` of `and`s of (negated, grouped) terms, with limits on size and depth.
#include <string>

#include "messages/filter.h"
#include "messages/filter_lexer.h"
#include "messages/filter_terms.h"
#include "messages/text_fold.h"

namespace messages {

using namespace filter_tree;

namespace {

bool IsKeyword(const Token& t, std::string_view lower) {
    return t.kind == Tok::Word && t.text.size() == lower.size() && AsciiLower(t.text) == lower;
}

// What a token looks like in a message: quoted as typed, or "the end".
std::string Describe(const Token& t) {
    if (t.kind == Tok::End) return "the end";
    if (t.kind == Tok::String) return "a string";
    return "'" + t.text + "'";
}

class Parser {
public:
    Parser(std::vector<Token> tokens, Builder& out, const FilterContext& context)
        : t_(std::move(tokens)), out_(out), context_(context) {}

    std::uint32_t Run() {
        if (t_[0].kind == Tok::End) return out_.Add(Node{});  // blank: every message
        std::uint32_t root = ParseOr();
        const Token& t = t_[pos_];
        if (t.kind == Tok::RParen) Fail("unexpected ')'", t.column, t.endColumn, " (no '(' to close)");
        if (t.kind != Tok::End) {
            Fail("expected '&', '|' or the end, found " + Describe(t), t.column, t.endColumn);
        }
        return root;
    }

private:
    bool AtOr() const { return t_[pos_].kind == Tok::Or || IsKeyword(t_[pos_], "or"); }
    bool AtAnd() const { return t_[pos_].kind == Tok::And || IsKeyword(t_[pos_], "and"); }
    bool AtNot() const { return t_[pos_].kind == Tok::Not || IsKeyword(t_[pos_], "not"); }

    std::uint32_t Group(NodeKind kind, bool (Parser::*at)() const, std::uint32_t (Parser::*part)()) {
        std::uint32_t first = (this->*part)();
        if (!(this->*at)()) return first;
        Node n;
        n.kind = kind;
        n.children.push_back(first);
        while ((this->*at)()) {
            ++pos_;
            n.children.push_back((this->*part)());
        }
        return out_.Add(std::move(n));
    }

    std::uint32_t ParseOr() { return Group(NodeKind::Or, &Parser::AtOr, &Parser::ParseAnd); }
    std::uint32_t ParseAnd() { return Group(NodeKind::And, &Parser::AtAnd, &Parser::ParseUnary); }

    // Negations and parentheses recurse, and both count toward the nesting limit.
    void Enter(const Token& t) {
        if (++depth_ > kFilterMaxNesting) {
            Fail("nesting deeper than " + std::to_string(kFilterMaxNesting) + " levels", t.column, t.endColumn);
        }
    }

    std::uint32_t ParseUnary() {
        const Token& t = t_[pos_];
        if (AtNot()) {
            Enter(t);
            ++pos_;
            Node n;
            n.kind = NodeKind::Not;
            n.children.push_back(ParseUnary());
            --depth_;
            return out_.Add(std::move(n));
        }
        if (t.kind == Tok::LParen) {
            Enter(t);
            ++pos_;
            std::uint32_t inner = ParseOr();
            const Token& close = t_[pos_];
            if (close.kind != Tok::RParen) {
                Fail("missing ')'", close.column, close.endColumn,
                     " (for the '(' at column " + std::to_string(t.column) + ")");
            }
            ++pos_;
            --depth_;
            return inner;
        }
        return ParseTerm();
    }

    std::uint32_t ParseTerm() {
        const Token& t = t_[pos_];
        if (t.kind != Tok::String && (t.kind != Tok::Word || IsKeyword(t, "and") || IsKeyword(t, "or"))) {
            if (t.kind == Tok::RParen) Fail("expected a term before ')'", t.column, t.endColumn);
            Fail("expected a term, found " + Describe(t), t.column, t.endColumn);
        }
        if (++terms_ > kFilterMaxTerms) {
            Fail("more than " + std::to_string(kFilterMaxTerms) + " terms", t.column, t.endColumn);
        }
        ++pos_;
        if (t.kind == Tok::String) return out_.AddTerm(ContainsTerm(t));
        Field field = FieldNamed(t);
        const Token& op = t_[pos_];
        if (op.kind < Tok::Eq) {
            Fail("expected an operator (=, !=, <, <=, >, >=, ~) after '" + t.text + "'", op.column, op.endColumn);
        }
        ++pos_;
        const Token& value = t_[pos_];
        if (value.kind != Tok::Word && value.kind != Tok::String) {
            Fail("expected a value after '" + op.text + "', found " + Describe(value), value.column, value.endColumn);
        }
        ++pos_;
        return out_.AddTerm(MakeTerm(field, t, op, value, context_.home));
    }

    std::vector<Token> t_;
    Builder& out_;
    const FilterContext& context_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    int terms_ = 0;
};

}  // namespace

Filter::Filter() {
    nodes_.push_back(Node{});
    root_ = 0;
}

bool Filter::Parse(std::string_view expression, Filter& out, FilterError& error, const FilterContext& context) {
    try {
        Filter f;
        f.nodes_.clear();
        Builder b(f);
        b.SetRoot(Parser(Tokenize(expression), b, context).Run());
        out = std::move(f);
        return true;
    } catch (const SyntaxError& e) {
        error = FilterError{e.message, e.column, e.endColumn};
        return false;
    }
}

namespace filter_tree {

Builder::Builder(Filter& f) : f_(f) {}

std::uint32_t Builder::Add(Node node) {
    f_.nodes_.push_back(std::move(node));
    return static_cast<std::uint32_t>(f_.nodes_.size() - 1);
}

std::uint32_t Builder::AddTerm(Term term) {
    f_.terms_.push_back(std::move(term));
    Node n;
    n.kind = NodeKind::Leaf;
    n.term = static_cast<std::uint32_t>(f_.terms_.size() - 1);
    return Add(std::move(n));
}

void Builder::SetRoot(std::uint32_t root) { f_.root_ = root; }

}  // namespace filter_tree

}  // namespace messages
