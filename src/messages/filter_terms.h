// Reading one term's field, operator and value into a Term (internal to the filter).
#pragma once
#include <optional>
#include <string_view>

#include "messages/filter_lexer.h"
#include "messages/filter_tree.h"

namespace messages::filter_tree {

// The field named by `word` (ASCII case-insensitive); throws SyntaxError naming the known fields.
Field FieldNamed(const Token& word);

// A term from its three tokens; throws SyntaxError for an operator the field does not take or a
// value it cannot read, and for `dist` without a home position.
Term MakeTerm(Field field, const Token& fieldToken, const Token& op, const Token& value,
              const std::optional<warnings::GeoPoint>& home);

// A quoted string alone: the text contains it.
Term ContainsTerm(const Token& string);

}  // namespace messages::filter_tree
