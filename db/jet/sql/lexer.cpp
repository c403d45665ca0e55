// The tokenizer.
#include "db/jet/sql/lexer.h"

#include "db/jet/base/error.h"

namespace jet::sql {

namespace {

bool isWordStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool isWordChar(unsigned char c) {
    return isWordStart(c) || (c >= '0' && c <= '9');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void syntax(std::string_view sql, const std::string& problem) {
    throw Error(ErrorKind::Syntax,
                "Syntax error in the statement \"" + std::string(sql) + "\": " + problem + ".");
}

}  // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> out;
    out.reserve(8 + sql.size() / 6);
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        Token t;
        t.offset = i;
        if ((c == 'x' || c == 'X') && i + 1 < sql.size() && sql[i + 1] == '\'') {
            std::size_t j = i + 2;
            while (j < sql.size() && sql[j] != '\'')
                ++j;
            if (j >= sql.size()) syntax(sql, "a binary literal is not closed");
            t.kind = TokenKind::HexBinary;
            t.text = std::string(sql.substr(i + 2, j - i - 2));
            i = j + 1;
        } else if (isWordStart(static_cast<unsigned char>(c))) {
            std::size_t j = i;
            while (j < sql.size() && isWordChar(static_cast<unsigned char>(sql[j])))
                ++j;
            t.kind = TokenKind::Word;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else if (c == '`' || c == '[') {
            const char close = c == '`' ? '`' : ']';
            const std::size_t j = sql.find(close, i + 1);
            if (j == std::string_view::npos)
                syntax(sql, std::string("a name opened with ") + c + " is not closed");
            t.kind = TokenKind::QuotedName;
            t.text = std::string(sql.substr(i + 1, j - i - 1));
            if (t.text.empty()) syntax(sql, "a quoted name is empty");
            i = j + 1;
        } else if (c == '\'') {
            std::size_t j = i + 1;
            std::string value;
            while (true) {
                const std::size_t q = sql.find('\'', j);
                if (q == std::string_view::npos) syntax(sql, "a text literal is not closed");
                value.append(sql.substr(j, q - j));
                if (q + 1 < sql.size() && sql[q + 1] == '\'') {
                    value += '\'';
                    j = q + 2;
                    continue;
                }
                j = q;
                break;
            }
            t.kind = TokenKind::Text;
            t.text = std::move(value);
            i = j + 1;
        } else if (isDigit(c) || (c == '.' && i + 1 < sql.size() && isDigit(sql[i + 1]))) {
            std::size_t j = i;
            while (j < sql.size() && isDigit(sql[j]))
                ++j;
            if (j < sql.size() && sql[j] == '.') {
                ++j;
                while (j < sql.size() && isDigit(sql[j]))
                    ++j;
            }
            if (j < sql.size() && (sql[j] == 'e' || sql[j] == 'E')) {
                std::size_t k = j + 1;
                if (k < sql.size() && (sql[k] == '+' || sql[k] == '-')) ++k;
                if (k < sql.size() && isDigit(sql[k])) {
                    while (k < sql.size() && isDigit(sql[k]))
                        ++k;
                    j = k;
                }
            }
            if (j < sql.size() && isWordChar(static_cast<unsigned char>(sql[j])))
                syntax(sql, "a number runs into the word after it");
            t.kind = TokenKind::Number;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
        } else if (c == '#') {
            const std::size_t j = sql.find('#', i + 1);
            if (j == std::string_view::npos) syntax(sql, "a date literal is not closed");
            t.kind = TokenKind::Date;
            t.text = std::string(sql.substr(i + 1, j - i - 1));
            i = j + 1;
        } else if (std::string_view("*,;().=+-&").find(c) != std::string_view::npos) {
            t.kind = TokenKind::Symbol;
            t.text = std::string(1, c);
            ++i;
        } else {
            syntax(sql, std::string("the character '") + c + "' is not expected here");
        }
        out.push_back(std::move(t));
    }
    Token end;
    end.offset = sql.size();
    out.push_back(end);
    return out;
}

}  // namespace jet::sql
