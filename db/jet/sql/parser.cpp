// A recursive-descent parser over the tokens.
#include "db/jet/sql/parser.h"

#include <vector>

#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/sql/lexer.h"

namespace jet::sql {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
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

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
  public:
    explicit Parser(std::string_view sql) : sql_(sql), tokens_(tokenize(sql)) {}

    Statement statement() {
        if (peek().kind == TokenKind::End)
            throw Error(ErrorKind::Syntax, "The statement is empty.");
        const bool query = isWord("SELECT");
        Statement s = [&]() -> Statement {
            if (query) return select();
            if (isWord("CREATE")) return create();
            if (isWord("ALTER")) return alterTable();
            if (isWord("INSERT")) return insert();
            if (isWord("DROP")) return dropTable();
            unknown();
        }();
        if (isSymbol(";")) advance();
        if (peek().kind != TokenKind::End) {
            // Clauses after a query (WHERE, ORDER BY) make a query the engine cannot run yet.
            if (query && std::holds_alternative<SelectStatement>(s)) unknown();
            fail("unexpected text after the end of the statement");
        }
        return s;
    }

  private:
    // ---- SELECT ----

    Statement select() {
        advance();
        std::optional<std::uint64_t> top;
        if (isWord("TOP")) {
            advance();
            if (peek().kind != TokenKind::Number || !isWholeNumber(peek().text))
                fail("TOP must be followed by a whole number");
            top = parseCount(peek().text);
            advance();
        }
        // "*" or "alias.*": column lists and expressions are queries the engine cannot run.
        std::string starAlias;
        if (isSymbol("*")) {
            advance();
        } else if ((peek().kind == TokenKind::Word || peek().kind == TokenKind::QuotedName) &&
                   at(1).kind == TokenKind::Symbol && at(1).text == "." &&
                   at(2).kind == TokenKind::Symbol && at(2).text == "*") {
            starAlias = peek().text;
            advance();
            advance();
            advance();
        } else {
            unknown();
        }
        std::string target;
        const bool into = isWord("INTO");
        if (into) {
            if (top) unknown();
            advance();
            target = name("the name of the new table after INTO");
        }
        expectWord("FROM");
        std::string source = name("a table name after FROM");
        std::string alias;
        if (isWord("AS")) {
            advance();
            alias = name("an alias after AS");
        } else if (peek().kind == TokenKind::Word && !isReserved(peek().text)) {
            alias = name("an alias");
        } else if (peek().kind == TokenKind::QuotedName) {
            alias = name("an alias");
        }
        if (!starAlias.empty() && !asciiEqualNoCase(starAlias, alias.empty() ? source : alias))
            fail("'" + starAlias + ".*' names no table of the FROM clause");
        if (!into) return SelectStatement{std::move(source), top};
        return SelectIntoStatement{std::move(target), std::move(source)};
    }

    // ---- CREATE TABLE ----

    Statement create() {
        advance();
        if (isWord("UNIQUE") || isWord("INDEX")) return createIndex();
        if (!isWord("TABLE")) unknown();
        advance();
        return createTable();
    }

    Statement createTable() {
        CreateTableStatement s;
        s.table = name("a table name after CREATE TABLE");
        expectSymbol("(", "a column list in parentheses after the table name");
        while (true) {
            if (isWord("CONSTRAINT") || isWord("PRIMARY")) {
                tableConstraint(s);
            } else {
                s.columns.push_back(column(s));
            }
            if (isSymbol(",")) {
                advance();
                continue;
            }
            if (isSymbol(")")) {
                advance();
                break;
            }
            fail("expected a comma or \")\" after the definition of column '" +
                 (s.columns.empty() ? std::string() : s.columns.back().name) + "'");
        }
        if (s.columns.empty()) fail("a table needs at least one column");
        return s;
    }

    ColumnDefinition column(CreateTableStatement& s) {
        ColumnDefinition c;
        c.name = name("a column name");
        if (peek().kind != TokenKind::Word) fail("the column '" + c.name + "' has no data type");
        // The type's words: as many as continue a known type name ("NATIONAL CHAR VARYING").
        const std::size_t typeStart = peek().offset;
        std::string words = upper(peek().text);
        advance();
        while (peek().kind == TokenKind::Word &&
               isTypeNamePrefix(words + " " + upper(peek().text))) {
            words += " " + upper(peek().text);
            advance();
        }
        std::vector<std::int64_t> args;
        if (isSymbol("(")) {
            advance();
            while (true) {
                if (peek().kind != TokenKind::Number || !isWholeNumber(peek().text))
                    fail("the size of column '" + c.name + "' must be a whole number");
                args.push_back(static_cast<std::int64_t>(parseCount(peek().text)));
                advance();
                if (isSymbol(",")) {
                    advance();
                    continue;
                }
                expectSymbol(")", "\")\" after the size of column '" + c.name + "'");
                break;
            }
        }
        std::string problem;
        auto type = resolveType(words, args, problem);
        if (!type) fail("column '" + c.name + "': " + problem);
        c.type = *type;
        c.type.written = shown(sql_.substr(typeStart, peek().offset - typeStart));
        // Column constraints, in any order.
        while (true) {
            if (isWord("NOT")) {
                advance();
                expectWord("NULL");
                c.notNull = true;
            } else if (isWord("NULL")) {
                advance();
            } else if (isWord("PRIMARY") || isWord("CONSTRAINT")) {
                std::string constraintName;
                if (isWord("CONSTRAINT")) {
                    advance();
                    constraintName = name("a constraint name after CONSTRAINT");
                }
                expectWord("PRIMARY");
                expectWord("KEY");
                if (!s.primaryKey.empty()) fail("the table has more than one primary key");
                s.primaryKey.push_back(c.name);
                s.primaryKeyName = constraintName;
            } else if (isWord("WITH")) {
                advance();
                if (!isWord("COMPRESSION") && !isWord("COMP"))
                    fail("expected COMPRESSION after WITH");
                advance();
                if (c.type.type != ColumnType::Text && c.type.type != ColumnType::Memo)
                    fail("only text columns can be kept compressed, not column '" + c.name + "'");
                c.compressed = true;
            } else if (isWord("DEFAULT")) {
                advance();
                if (c.defaultValue) fail("the column '" + c.name + "' has more than one default");
                c.defaultValue = columnDefault(c);
            } else if (isWord("UNIQUE") || isWord("REFERENCES") || isWord("CHECK")) {
                throw Error(ErrorKind::NotSupported,
                            "The statement \"" + shown(sql_) + "\" uses " + upper(peek().text) +
                                " on column '" + c.name +
                                "', which the Access engine cannot create yet.");
            } else {
                break;
            }
        }
        return c;
    }

    // DEFAULT literal, DEFAULT (literal), DEFAULT Now(), DEFAULT Date(); a text literal may be
    // made of pieces (see literal()).
    ColumnDefault columnDefault(const ColumnDefinition& c) {
        ColumnDefault d;
        if (isWord("NOW") || isWord("DATE")) {
            d.kind = isWord("NOW") ? ColumnDefault::Kind::Now : ColumnDefault::Kind::Date;
            const std::string function = peek().text;
            advance();
            expectSymbol("(",
                         "\"()\" after " + function + " in the default of column '" + c.name + "'");
            expectSymbol(")",
                         "\")\" after " + function + "( in the default of column '" + c.name + "'");
            return d;
        }
        if (peek().kind == TokenKind::Word && !atTextPiece() && !isWord("NULL") &&
            !isWord("TRUE") && !isWord("FALSE") && !isWord("YES") && !isWord("NO") &&
            !isWord("ON") && !isWord("OFF"))
            throw Error(ErrorKind::NotSupported,
                        "The statement \"" + shown(sql_) + "\" gives the column '" + c.name +
                            "' the default " + peek().text +
                            ", which the Access engine cannot store; a default is a number, a "
                            "text, TRUE or FALSE, a date, Now() or Date().");
        if (isSymbol("(")) {
            advance();
            d.value = literal();
            expectSymbol(")", "\")\" after the default of column '" + c.name + "'");
        } else {
            d.value = literal();
        }
        return d;
    }

    void tableConstraint(CreateTableStatement& s) {
        std::string constraintName;
        if (isWord("CONSTRAINT")) {
            advance();
            constraintName = name("a constraint name after CONSTRAINT");
        }
        if (!isWord("PRIMARY")) {
            if (isWord("UNIQUE") || isWord("FOREIGN") || isWord("CHECK"))
                throw Error(ErrorKind::NotSupported,
                            "The statement \"" + shown(sql_) + "\" uses a " + upper(peek().text) +
                                " constraint, which the Access engine cannot create yet.");
            fail("expected PRIMARY KEY after the constraint name");
        }
        advance();
        expectWord("KEY");
        if (!s.primaryKey.empty()) fail("the table has more than one primary key");
        expectSymbol("(", "the key's columns in parentheses after PRIMARY KEY");
        while (true) {
            s.primaryKey.push_back(name("a column name of the primary key"));
            if (isSymbol(",")) {
                advance();
                continue;
            }
            expectSymbol(")", "\")\" after the columns of the primary key");
            break;
        }
        s.primaryKeyName = constraintName;
    }

    // ---- CREATE INDEX ----

    Statement createIndex() {
        CreateIndexStatement s;
        if (isWord("UNIQUE")) {
            s.unique = true;
            advance();
        }
        expectWord("INDEX");
        s.name = name("an index name after CREATE INDEX");
        expectWord("ON");
        s.table = name("a table name after ON");
        expectSymbol("(", "the index's columns in parentheses after the table name");
        while (true) {
            IndexColumnName c;
            c.name = name("a column name of the index");
            if (isWord("ASC")) {
                advance();
            } else if (isWord("DESC")) {
                c.ascending = false;
                advance();
            }
            s.columns.push_back(std::move(c));
            if (isSymbol(",")) {
                advance();
                continue;
            }
            expectSymbol(")", "a comma or \")\" after the column '" + s.columns.back().name +
                                  "' of the index");
            break;
        }
        if (isWord("WITH")) {
            advance();
            if (isWord("PRIMARY")) {
                s.primary = true;
                advance();
            } else if (isWord("DISALLOW")) {
                advance();
                expectWord("NULL");
                s.disallowNull = true;
            } else if (isWord("IGNORE")) {
                advance();
                expectWord("NULL");
                s.ignoreNull = true;
            } else {
                fail("expected PRIMARY, DISALLOW NULL or IGNORE NULL after WITH");
            }
        }
        return s;
    }

    // ---- ALTER TABLE … ADD CONSTRAINT ----

    Statement alterTable() {
        advance();
        if (!isWord("TABLE")) unknown();
        advance();
        AddConstraintStatement s;
        s.table = name("a table name after ALTER TABLE");
        // Other changes of a table (columns added, dropped or altered) the engine cannot make.
        if (!isWord("ADD") ||
            !(at(1).kind == TokenKind::Word && asciiEqualNoCase(at(1).text, "CONSTRAINT")))
            unknown();
        advance();
        advance();
        s.name = name("a constraint name after CONSTRAINT");
        if (isWord("PRIMARY")) {
            advance();
            expectWord("KEY");
            s.kind = AddConstraintStatement::Kind::PrimaryKey;
        } else if (isWord("UNIQUE")) {
            advance();
            s.kind = AddConstraintStatement::Kind::Unique;
        } else if (isWord("FOREIGN")) {
            advance();
            expectWord("KEY");
            s.kind = AddConstraintStatement::Kind::ForeignKey;
        } else if (isWord("CHECK")) {
            throw Error(ErrorKind::NotSupported,
                        "The statement \"" + shown(sql_) +
                            "\" adds a CHECK constraint, which the Access engine cannot create.");
        } else {
            fail("expected PRIMARY KEY, UNIQUE or FOREIGN KEY after the constraint name");
        }
        s.columns = columnList("the constraint's columns");
        if (s.kind != AddConstraintStatement::Kind::ForeignKey) return s;

        expectWord("REFERENCES");
        s.referencedTable = name("a table name after REFERENCES");
        s.referencedColumns = columnList("the referenced columns");
        if (s.referencedColumns.size() != s.columns.size())
            fail("the foreign key has " + std::to_string(s.columns.size()) +
                 " columns but references " + std::to_string(s.referencedColumns.size()));
        bool update = false, remove = false;
        while (isWord("ON")) {
            advance();
            if (isWord("UPDATE")) {
                if (update) fail("ON UPDATE is given twice");
                update = true;
                advance();
                if (isWord("CASCADE")) {
                    advance();
                    s.cascadeUpdates = true;
                } else if (!noAction()) {
                    fail("expected CASCADE or NO ACTION after ON UPDATE");
                }
            } else if (isWord("DELETE")) {
                if (remove) fail("ON DELETE is given twice");
                remove = true;
                advance();
                if (isWord("CASCADE")) {
                    advance();
                    s.onDelete = AddConstraintStatement::OnDelete::Cascade;
                } else if (isWord("SET")) {
                    advance();
                    expectWord("NULL");
                    s.onDelete = AddConstraintStatement::OnDelete::SetNull;
                } else if (!noAction()) {
                    fail("expected CASCADE, SET NULL or NO ACTION after ON DELETE");
                }
            } else {
                fail("expected UPDATE or DELETE after ON");
            }
        }
        return s;
    }

    // NO ACTION, read when it comes next.
    bool noAction() {
        if (!isWord("NO")) return false;
        advance();
        expectWord("ACTION");
        return true;
    }

    // "(name, ...)": at least one name.
    std::vector<std::string> columnList(const std::string& what) {
        expectSymbol("(", what + " in parentheses");
        std::vector<std::string> names;
        while (true) {
            names.push_back(name("a column name"));
            if (isSymbol(",")) {
                advance();
                continue;
            }
            expectSymbol(")", "a comma or \")\" after the column '" + names.back() + "'");
            break;
        }
        return names;
    }

    // ---- INSERT INTO ----

    Statement insert() {
        advance();
        expectWord("INTO");
        InsertStatement s;
        s.table = name("a table name after INSERT INTO");
        if (isSymbol("(")) {
            advance();
            while (true) {
                s.columns.push_back(name("a column name"));
                if (isSymbol(",")) {
                    advance();
                    continue;
                }
                expectSymbol(")", "\")\" after the column list");
                break;
            }
        }
        if (isWord("SELECT")) unknown();
        expectWord("VALUES");
        expectSymbol("(", "the values in parentheses after VALUES");
        s.values.reserve(s.columns.empty() ? 16 : s.columns.size());
        while (true) {
            s.values.push_back(literal());
            if (isSymbol(",")) {
                advance();
                continue;
            }
            expectSymbol(")", "a comma or \")\" after value " + std::to_string(s.values.size()));
            break;
        }
        if (!s.columns.empty() && s.columns.size() != s.values.size())
            fail("the statement names " + std::to_string(s.columns.size()) + " columns but gives " +
                 std::to_string(s.values.size()) + " values");
        return s;
    }

    Literal literal() {
        Literal v;
        if (atTextPiece()) {
            v.kind = Literal::Kind::Text;
            appendTextPiece(v.text);
            while (isSymbol("&")) {
                advance();
                if (!atTextPiece()) fail("\"&\" must be followed by a 'text' or Chr(code)");
                appendTextPiece(v.text);
            }
            return v;
        }
        const Token& t = peek();
        if (t.kind == TokenKind::Symbol && (t.text == "-" || t.text == "+")) {
            const bool negative = t.text == "-";
            advance();
            if (peek().kind != TokenKind::Number) fail("a sign must be followed by a number");
            v.kind = Literal::Kind::Number;
            v.text = (negative ? "-" : "") + peek().text;
            advance();
            return v;
        }
        switch (t.kind) {
            case TokenKind::Number:
                v.kind = Literal::Kind::Number;
                v.text = takeText();
                break;
            case TokenKind::Date:
                v.kind = Literal::Kind::Date;
                v.text = t.text;
                break;
            case TokenKind::HexBinary: {
                if (t.text.size() % 2 != 0)
                    fail("the binary literal X'" + t.text + "' has an odd number of digits");
                v.kind = Literal::Kind::Binary;
                v.bytes.reserve(t.text.size() / 2);
                for (std::size_t i = 0; i < t.text.size(); i += 2) {
                    const int hi = hexDigit(t.text[i]), lo = hexDigit(t.text[i + 1]);
                    if (hi < 0 || lo < 0)
                        fail("the binary literal X'" + t.text +
                             "' holds a character that is not "
                             "a hexadecimal digit");
                    v.bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
                }
                break;
            }
            case TokenKind::Word:
                if (isWord("NULL")) {
                    v.kind = Literal::Kind::Null;
                } else if (isWord("TRUE") || isWord("YES") || isWord("ON")) {
                    v.kind = Literal::Kind::Boolean;
                    v.boolean = true;
                } else if (isWord("FALSE") || isWord("NO") || isWord("OFF")) {
                    v.kind = Literal::Kind::Boolean;
                    v.boolean = false;
                } else {
                    fail("'" + t.text + "' is not a value");
                }
                break;
            default:
                fail("expected a value");
        }
        advance();
        return v;
    }

    // A text value is 'text' or Chr(code), or several of them joined by &: the way a one-line
    // statement writes a text holding a line break ('one' & Chr(13) & Chr(10) & 'two').
    bool atTextPiece() const {
        return peek().kind == TokenKind::Text ||
               (isWord("CHR") && at(1).kind == TokenKind::Symbol && at(1).text == "(");
    }
    void appendTextPiece(std::string& out) {
        if (peek().kind == TokenKind::Text) {
            if (out.empty())
                out = takeText();
            else
                out += peek().text;
            advance();
            return;
        }
        advance();  // Chr
        advance();  // (
        const std::string digits = peek().kind == TokenKind::Number ? peek().text : "";
        if (!isWholeNumber(digits) || digits.size() > 3 || parseCount(digits) > 127)
            fail("Chr takes a character code from 0 to 127");
        out += static_cast<char>(parseCount(digits));
        advance();
        expectSymbol(")", "\")\" after the character code of Chr");
    }

    // ---- DROP TABLE ----

    Statement dropTable() {
        advance();
        if (!isWord("TABLE")) unknown();
        advance();
        DropTableStatement s;
        s.table = name("a table name after DROP TABLE");
        return s;
    }

    // ---- tokens ----

    const Token& peek() const { return tokens_[pos_]; }
    // The current token's text, handed over: for a literal read once and then passed by.
    std::string takeText() { return std::move(tokens_[pos_].text); }
    // The token `ahead` places after the current one (the final End token past the end).
    const Token& at(std::size_t ahead) const {
        return tokens_[pos_ + ahead < tokens_.size() ? pos_ + ahead : tokens_.size() - 1];
    }
    void advance() {
        if (pos_ + 1 < tokens_.size()) ++pos_;
    }
    bool isWord(std::string_view w) const {
        return peek().kind == TokenKind::Word && asciiEqualNoCase(peek().text, w);
    }
    bool isSymbol(std::string_view s) const {
        return peek().kind == TokenKind::Symbol && peek().text == s;
    }
    void expectWord(std::string_view w) {
        if (!isWord(w)) fail("expected " + std::string(w));
        advance();
    }
    void expectSymbol(std::string_view s, const std::string& what) {
        if (!isSymbol(s)) fail("expected " + what);
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
        for (const char* r : {"SELECT", "FROM", "WHERE", "TOP", "ORDER", "GROUP", "INTO", "AS",
                              "VALUES", "TABLE", "PRIMARY", "CONSTRAINT", "NOT", "NULL"})
            if (asciiEqualNoCase(w, r)) return true;
        return false;
    }
    static bool isWholeNumber(const std::string& digits) {
        for (char c : digits)
            if (c < '0' || c > '9') return false;
        return !digits.empty();
    }
    std::uint64_t parseCount(const std::string& digits) {
        std::uint64_t v = 0;
        for (char c : digits) {
            if (v > (UINT64_MAX - 9) / 10) fail("the number " + digits + " is too large");
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
