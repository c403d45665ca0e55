// Tokens of the Access SQL dialect the engine understands.
//
// Names are bare words, or quoted between backticks (`Order Details`) or square brackets
// ([Order Details]); text literals are between apostrophes with an apostrophe doubled inside;
// numbers are digits with an optional point and an optional exponent (1.5E-3); hexadecimal
// binary literals are X'0AFF'; date literals are between number signs (#2024-05-01#). A sign
// before a number is a symbol of its own. Keywords are bare words compared without regard to
// letter case by the parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jet::sql {

enum class TokenKind {
    Word,        // a bare word: keyword or name
    QuotedName,  // `name` or [name]
    Text,        // 'text'
    Number,      // 123, 1.5, .5, 2E10
    HexBinary,   // X'0AFF' (text holds the hexadecimal digits)
    Date,        // #2024-05-01 10:00:00# (text holds what is between the signs)
    Symbol,      // one of * , ; ( ) . = + - &
    End,
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;        // the name, the literal's value, the symbol
    std::size_t offset = 0;  // where the token starts in the statement
};

// Splits `sql` into tokens, ending with an End token. Throws jet::Error (Syntax) for an
// unterminated name or literal or a character that starts no token.
std::vector<Token> tokenize(std::string_view sql);

}  // namespace jet::sql
