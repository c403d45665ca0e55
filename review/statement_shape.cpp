// Recognising literal INSERT lines.
#include "review/statement_shape.h"

#include <cctype>
#include <cstddef>

namespace review {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool isWordChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u >= 0x80;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsWord(std::string_view a, std::string_view upperWord) {
    if (a.size() != upperWord.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upperWord[i]) return false;
    return true;
}

enum class Tok {
    End,
    Word,      // bare name or keyword
    Name,      // quoted name (backticks, or double quotes with ANSI_QUOTES)
    String,    // quoted string
    Number,    // decimal number
    HexOrBit,  // X'..', B'..', 0x.., 0b..
    Punct,     // one character: ( ) , . ; + - and anything else
    Bad,       // a comment or an unterminated quote: the line does not qualify
};

struct Token {
    Tok kind = Tok::End;
    std::size_t begin = 0;
    std::size_t end = 0;
    char punct = 0;
};

class Lexer {
  public:
    Lexer(std::string_view s, const SqlDialect& d) : s_(s), d_(d) {}

    Token next() {
        while (pos_ < s_.size() && isBlank(s_[pos_]))
            ++pos_;
        Token t;
        t.begin = pos_;
        if (pos_ >= s_.size()) return finish(t, Tok::End);
        const char c = s_[pos_];
        const char c1 = pos_ + 1 < s_.size() ? s_[pos_ + 1] : '\0';
        if (c == '#' || (c == '/' && c1 == '*')) return finish(t, Tok::Bad);
        if (c == '-' && c1 == '-' &&
            (pos_ + 2 >= s_.size() || isBlank(s_[pos_ + 2]) ||
             static_cast<unsigned char>(s_[pos_ + 2]) < 0x20))
            return finish(t, Tok::Bad);
        if (c == '`') return quoted(t, '`', false, Tok::Name);
        if (c == '\'') return quoted(t, '\'', d_.backslashEscapes, Tok::String);
        if (c == '"')
            return d_.ansiQuotes ? quoted(t, '"', false, Tok::Name)
                                 : quoted(t, '"', d_.backslashEscapes, Tok::String);
        if ((c == 'x' || c == 'X' || c == 'b' || c == 'B') && c1 == '\'') {
            ++pos_;
            return quoted(t, '\'', false, Tok::HexOrBit);
        }
        if (isDigit(c) || (c == '.' && isDigit(c1))) return number(t);
        if (isWordChar(c)) {
            while (pos_ < s_.size() && isWordChar(s_[pos_]))
                ++pos_;
            return finish(t, Tok::Word);
        }
        ++pos_;
        t.punct = c;
        return finish(t, Tok::Punct);
    }

    std::size_t position() const { return pos_; }

  private:
    Token finish(Token t, Tok kind) {
        t.kind = kind;
        t.end = pos_;
        return t;
    }

    Token quoted(Token t, char q, bool escapes, Tok kind) {
        ++pos_;  // the opening quote
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (escapes && c == '\\') {
                pos_ += 2;
                continue;
            }
            if (c == q) {
                if (pos_ + 1 < s_.size() && s_[pos_ + 1] == q) {
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return finish(t, kind);
            }
            ++pos_;
        }
        pos_ = s_.size();
        return finish(t, Tok::Bad);
    }

    Token number(Token t) {
        const std::size_t start = pos_;
        if (s_[pos_] == '0' && pos_ + 1 < s_.size() &&
            (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'b')) {
            // 0x1F or 0b101, unless more name characters follow (then it is a name).
            std::size_t p = pos_ + 2;
            const bool hex = s_[pos_ + 1] == 'x';
            while (p < s_.size() && (hex ? std::isxdigit(static_cast<unsigned char>(s_[p])) != 0
                                         : (s_[p] == '0' || s_[p] == '1')))
                ++p;
            if (p > pos_ + 2 && (p >= s_.size() || !isWordChar(s_[p]))) {
                pos_ = p;
                return finish(t, Tok::HexOrBit);
            }
        }
        while (pos_ < s_.size() && isDigit(s_[pos_]))
            ++pos_;
        if (pos_ < s_.size() && s_[pos_] == '.') {
            ++pos_;
            while (pos_ < s_.size() && isDigit(s_[pos_]))
                ++pos_;
        }
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            std::size_t p = pos_ + 1;
            if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
            if (p < s_.size() && isDigit(s_[p])) {
                while (p < s_.size() && isDigit(s_[p]))
                    ++p;
                pos_ = p;
            }
        }
        if (pos_ < s_.size() && isWordChar(s_[pos_])) {
            // Digits followed by letters make a name such as 1abc.
            pos_ = start;
            while (pos_ < s_.size() && isWordChar(s_[pos_]))
                ++pos_;
            return finish(t, Tok::Word);
        }
        return finish(t, Tok::Number);
    }

    std::string_view s_;
    SqlDialect d_;
    std::size_t pos_ = 0;
};

// A name as the server reads it: a bare word as written, a quoted one without its quotes and
// with doubled quotes made single.
std::string nameText(std::string_view s, const Token& t) {
    if (t.kind == Tok::Word) return std::string(s.substr(t.begin, t.end - t.begin));
    const char q = s[t.begin];
    std::string out;
    for (std::size_t i = t.begin + 1; i + 1 < t.end; ++i) {
        out.push_back(s[i]);
        if (s[i] == q) ++i;
    }
    return out;
}

bool isName(const Token& t) {
    return t.kind == Tok::Word || t.kind == Tok::Name;
}

bool isPunct(const Token& t, char c) {
    return t.kind == Tok::Punct && t.punct == c;
}

}  // namespace

std::string leadingKeyword(std::string_view sql) {
    std::size_t i = 0;
    while (i < sql.size() && isBlank(sql[i]))
        ++i;
    std::string word;
    while (i < sql.size()) {
        const char c = sql[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')) break;
        word.push_back(upper(c));
        ++i;
    }
    return word;
}

bool containsIgnoringCase(std::string_view text, std::string_view word) {
    if (word.empty()) return true;
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < word.size() && upper(text[i + k]) == upper(word[k]))
            ++k;
        if (k == word.size()) return true;
    }
    return false;
}

std::optional<LiteralInsert> parseLiteralInsert(std::string_view sql, const SqlDialect& dialect) {
    Lexer lex(sql, dialect);
    auto word = [&](const Token& t, std::string_view w) {
        return t.kind == Tok::Word && equalsWord(sql.substr(t.begin, t.end - t.begin), w);
    };

    Token t = lex.next();
    if (!word(t, "INSERT")) return std::nullopt;
    t = lex.next();
    if (word(t, "INTO")) t = lex.next();

    LiteralInsert out;
    if (!isName(t) || word(t, "VALUES") || word(t, "VALUE") || word(t, "SELECT") || word(t, "SET"))
        return std::nullopt;
    out.table = nameText(sql, t);
    t = lex.next();
    if (isPunct(t, '.')) {
        t = lex.next();
        if (!isName(t)) return std::nullopt;
        out.schema = std::move(out.table);
        out.table = nameText(sql, t);
        t = lex.next();
    }
    if (isPunct(t, '(')) {  // the column list: names only
        for (;;) {
            t = lex.next();
            if (!isName(t)) return std::nullopt;
            t = lex.next();
            if (isPunct(t, ')')) break;
            if (!isPunct(t, ',')) return std::nullopt;
        }
        t = lex.next();
    }
    if (!word(t, "VALUES") && !word(t, "VALUE")) return std::nullopt;

    t = lex.next();
    if (!isPunct(t, '(')) return std::nullopt;
    const std::size_t valuesBegin = t.begin;
    std::size_t valuesEnd = 0;
    for (;;) {  // one row of values; `t` is its "("
        t = lex.next();
        if (!isPunct(t, ')')) {
            for (;;) {  // one value, then "," or ")"
                if (isPunct(t, '+') || isPunct(t, '-')) {
                    t = lex.next();
                    if (t.kind != Tok::Number) return std::nullopt;
                    t = lex.next();
                } else if (t.kind == Tok::String) {
                    do
                        t = lex.next();
                    while (t.kind == Tok::String);
                } else if (t.kind == Tok::Number || t.kind == Tok::HexOrBit || word(t, "NULL") ||
                           word(t, "TRUE") || word(t, "FALSE") || word(t, "DEFAULT")) {
                    t = lex.next();
                } else {
                    return std::nullopt;
                }
                if (isPunct(t, ')')) break;
                if (!isPunct(t, ',')) return std::nullopt;
                t = lex.next();
            }
        }
        valuesEnd = t.end;
        t = lex.next();
        if (!isPunct(t, ',')) break;
        t = lex.next();
        if (!isPunct(t, '(')) return std::nullopt;
    }
    if (isPunct(t, ';')) t = lex.next();
    if (t.kind != Tok::End) return std::nullopt;

    out.head = sql.substr(0, valuesBegin);
    out.values = sql.substr(valuesBegin, valuesEnd - valuesBegin);
    return out;
}

}  // namespace review
