// A recursive-descent parser over the tokens.
#include "db/jet/sql/parser.h"

#include <vector>

#include "db/jet/error.h"
#include "db/jet/sql/lexer.h"

namespace jet::sql {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// Keeps the statement's text for messages, trimmed of surrounding blanks.
std::string shown(std::string_view sql) {
    std::size_t b = 0, e = sql.size();
    while (b < e && (sql[b] == ' ' || sql[b] == '\t' || sql[b] == '\r' || sql[b] == '\n'))
        ++b;
    while (e > b &&
           (sql[e - 1] == ' ' || sql[e - 1] == '\t' || sql[e - 1] == '\r' || sql[e - 1] == '\n'))
        --e;
    return std::string(sql.substr(b, e - b));
}

class Parser {
  public:
    explicit Parser(std::string_view sql) : sql_(sql), tokens_(tokenize(sql)) {}

    Statement statement() {
        if (peek().kind == TokenKind::End)
            throw Error(ErrorKind::Syntax, "The statement is empty.");
        if (!isWord("SELECT")) unknown();
        advance();
        SelectStatement s;
        if (isWord("TOP")) {
            advance();
            if (peek().kind != TokenKind::Number || peek().text.find('.') != std::string::npos)
                fail("TOP must be followed by a whole number");
            s.top = parseCount(peek().text);
            advance();
        }
        if (!isSymbol("*")) {
            // Column lists, expressions and the like are queries the engine cannot run yet.
            unknown();
        }
        advance();
        expectWord("FROM");
        s.table = name("a table name after FROM");
        if (isSymbol(";")) advance();
        if (peek().kind != TokenKind::End) unknown();
        return s;
    }

  private:
    const Token& peek() const { return tokens_[pos_]; }
    void advance() {
        if (pos_ + 1 < tokens_.size()) ++pos_;
    }
    bool isWord(std::string_view w) const {
        return peek().kind == TokenKind::Word && equalsNoCase(peek().text, w);
    }
    bool isSymbol(std::string_view s) const {
        return peek().kind == TokenKind::Symbol && peek().text == s;
    }
    void expectWord(std::string_view w) {
        if (!isWord(w)) fail("expected " + std::string(w));
        advance();
    }
    std::string name(const std::string& what) {
        if (peek().kind == TokenKind::QuotedName ||
            (peek().kind == TokenKind::Word && !isReserved(peek().text))) {
            std::string n = peek().text;
            advance();
            return n;
        }
        fail("expected " + what);
    }
    static bool isReserved(std::string_view w) {
        for (const char* r : {"SELECT", "FROM", "WHERE", "TOP", "ORDER", "GROUP", "INTO"})
            if (equalsNoCase(w, r)) return true;
        return false;
    }
    std::uint64_t parseCount(const std::string& digits) {
        std::uint64_t v = 0;
        for (char c : digits) {
            if (v > (UINT64_MAX - 9) / 10) fail("the number after TOP is too large");
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return v;
    }
    [[noreturn]] void fail(const std::string& problem) const {
        throw Error(ErrorKind::Syntax,
                    "Syntax error in the statement \"" + shown(sql_) + "\": " + problem + ".");
    }
    [[noreturn]] void unknown() const {
        throw Error(ErrorKind::Syntax,
                    "The statement \"" + shown(sql_) + "\" is not one the Access engine can run.");
    }

    std::string_view sql_;
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

}  // namespace

Statement parse(std::string_view sql) {
    return Parser(sql).statement();
}

}  // namespace jet::sql
