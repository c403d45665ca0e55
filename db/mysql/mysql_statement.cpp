// Prepared-statement queries for the MySQL backend.
#include "db/mysql/mysql_statement.h"

#include <mysqld_error.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "db/error.h"
#include "db/mysql/mysql_errors.h"
#include "db/mysql/mysql_values.h"

namespace db::mysql {

namespace {

bool startsWithWord(std::string_view s, std::string_view word) {
    if (s.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != word[i]) return false;
    if (s.size() == word.size()) return true;
    const auto next = static_cast<unsigned char>(s[word.size()]);
    return !(std::isalnum(next) || next == '_' || next == '$' || next >= 0x80);
}

PreparedOutcome failed(MYSQL_STMT* stmt) {
    PreparedOutcome out;
    out.kind = PreparedOutcome::Kind::Failed;
    out.errorCode = mysql_stmt_errno(stmt);
    out.errorText = mysql_stmt_error(stmt);
    return out;
}

}  // namespace

bool readsRows(std::string_view sql) {
    std::size_t i = 0;
    while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n'))
        ++i;
    const std::string_view s = sql.substr(i);
    return (!s.empty() && s[0] == '(') || startsWithWord(s, "SELECT") || startsWithWord(s, "WITH");
}

PreparedOutcome runPrepared(const SharedSession& session, std::string_view sql, bool stream) {
    StatementHandle stmt(mysql_stmt_init(session.get()));
    if (!stmt) {
        PreparedOutcome out;
        out.kind = PreparedOutcome::Kind::Failed;
        out.errorCode = mysql_errno(session.get());
        out.errorText = mysql_error(session.get());
        return out;
    }
    if (mysql_stmt_prepare(stmt.get(), sql.data(), static_cast<unsigned long>(sql.size())) != 0) {
        if (mysql_stmt_errno(stmt.get()) == ER_UNSUPPORTED_PS) return {};
        return failed(stmt.get());
    }
    if (mysql_stmt_param_count(stmt.get()) != 0) return {};
    if (mysql_stmt_execute(stmt.get()) != 0) return failed(stmt.get());
    if (mysql_stmt_field_count(stmt.get()) == 0) {
        PreparedOutcome out;
        out.kind = PreparedOutcome::Kind::NoRows;
        return out;
    }
    if (!stream) {
        const my_bool updateMaxLength = 1;
        mysql_stmt_attr_set(stmt.get(), STMT_ATTR_UPDATE_MAX_LENGTH, &updateMaxLength);
        if (mysql_stmt_store_result(stmt.get()) != 0) return failed(stmt.get());
    }
    ResultHandle meta(mysql_stmt_result_metadata(stmt.get()));
    if (!meta) return failed(stmt.get());
    PreparedOutcome out;
    out.kind = PreparedOutcome::Kind::Rows;
    out.cursor =
        std::make_unique<PreparedResultCursor>(session, std::move(stmt), std::move(meta), stream);
    return out;
}

PreparedResultCursor::PreparedResultCursor(SharedSession session, StatementHandle stmt,
                                           ResultHandle meta, bool streamed)
    : session_(std::move(session)), stmt_(std::move(stmt)), meta_(std::move(meta)) {
    // Streamed rows have no known longest value: buffers start small (at most the column's
    // declared length) and grow to the longest value read, so a row costs what it holds.
    constexpr unsigned long kFirstStreamBuffer = 256;
    const unsigned n = mysql_num_fields(meta_.get());
    const MYSQL_FIELD* f = mysql_fetch_fields(meta_.get());
    fields_.reserve(n);
    slots_.resize(n);
    for (unsigned i = 0; i < n; ++i) {
        fields_.push_back(describeField(f[i]));
        slots_[i].shape = columnShapeFor(f[i]);
        switch (slots_[i].shape.kind) {
            case ColumnKind::Decimal:
            case ColumnKind::Text:
            case ColumnKind::Binary:
            case ColumnKind::Bit1:
            case ColumnKind::Null:
                // The longest value of the column, known once the rows are stored.
                slots_[i].bytes.resize(
                    streamed ? std::clamp<unsigned long>(f[i].length, 1, kFirstStreamBuffer)
                             : std::max<unsigned long>(f[i].max_length, 1));
                break;
            default:
                break;
        }
    }
    count_ = streamed ? -1 : static_cast<long>(mysql_stmt_num_rows(stmt_.get()));
    bind();
}

void PreparedResultCursor::bind() {
    binds_.assign(slots_.size(), MYSQL_BIND{});
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        MYSQL_BIND& b = binds_[i];
        b.is_null = &s.isNull;
        b.error = &s.error;
        b.length = &s.length;
        switch (s.shape.kind) {
            case ColumnKind::Signed:
            case ColumnKind::Unsigned:
                b.buffer_type = MYSQL_TYPE_LONGLONG;
                b.buffer = &s.number.integer;
                b.is_unsigned = s.shape.kind == ColumnKind::Unsigned;
                break;
            case ColumnKind::Single:
                b.buffer_type = MYSQL_TYPE_FLOAT;
                b.buffer = &s.number.single;
                break;
            case ColumnKind::Double:
                b.buffer_type = MYSQL_TYPE_DOUBLE;
                b.buffer = &s.number.real;
                break;
            case ColumnKind::Date:
                b.buffer_type = MYSQL_TYPE_DATE;
                b.buffer = &s.time;
                break;
            case ColumnKind::DateTime:
                b.buffer_type = MYSQL_TYPE_DATETIME;
                b.buffer = &s.time;
                break;
            case ColumnKind::Time:
                b.buffer_type = MYSQL_TYPE_TIME;
                b.buffer = &s.time;
                break;
            case ColumnKind::Decimal:
                b.buffer_type = MYSQL_TYPE_STRING;
                b.buffer = s.bytes.data();
                b.buffer_length = static_cast<unsigned long>(s.bytes.size());
                break;
            case ColumnKind::Text:
            case ColumnKind::Binary:
            case ColumnKind::Bit1:
            case ColumnKind::Null:
                b.buffer_type = MYSQL_TYPE_BLOB;
                b.buffer = s.bytes.data();
                b.buffer_length = static_cast<unsigned long>(s.bytes.size());
                break;
        }
    }
    if (mysql_stmt_bind_result(stmt_.get(), binds_.data()) != 0)
        throw Error(statementErrorNumber(mysql_stmt_errno(stmt_.get())),
                    mysql_stmt_error(stmt_.get()));
}

void PreparedResultCursor::fetchTruncated() {
    // A stored result is cut only past its stored maximum, which a well-behaved library does
    // not do; streamed rows are cut whenever a value outgrows its buffer. Grow the buffer, read
    // the column again, and keep the larger buffer.
    bool grown = false;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        if (!s.error || s.bytes.empty() || s.length <= s.bytes.size()) continue;
        s.bytes.resize(s.length);
        MYSQL_BIND b = binds_[i];
        b.buffer = s.bytes.data();
        b.buffer_length = static_cast<unsigned long>(s.bytes.size());
        if (mysql_stmt_fetch_column(stmt_.get(), &b, static_cast<unsigned>(i), 0) != 0)
            throw Error(statementErrorNumber(mysql_stmt_errno(stmt_.get())),
                        mysql_stmt_error(stmt_.get()));
        grown = true;
    }
    if (grown) bind();
}

bool PreparedResultCursor::next(std::vector<Value>& row) {
    const int rc = mysql_stmt_fetch(stmt_.get());
    if (rc == MYSQL_NO_DATA) return false;
    if (rc == MYSQL_DATA_TRUNCATED) {
        fetchTruncated();
    } else if (rc != 0) {
        throw Error(statementErrorNumber(mysql_stmt_errno(stmt_.get())),
                    mysql_stmt_error(stmt_.get()));
    }
    row.resize(slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i)
        row[i] = valueOf(slots_[i]);
    return true;
}

Value PreparedResultCursor::valueOf(const Slot& s) const {
    if (s.isNull) return Value::null();
    switch (s.shape.kind) {
        case ColumnKind::Signed:
            return Value::integer(s.number.integer);
        case ColumnKind::Unsigned: {
            const auto u = static_cast<unsigned long long>(s.number.integer);
            if (u <= static_cast<unsigned long long>(INT64_MAX))
                return Value::integer(static_cast<std::int64_t>(u));
            return Value::unsignedInteger(u);
        }
        case ColumnKind::Single:
            return Value::single(s.number.single);
        case ColumnKind::Double:
            return Value::doubleValue(s.number.real);
        case ColumnKind::Date:
        case ColumnKind::DateTime:
        case ColumnKind::Time:
            return convertTemporal(s.shape, s.time);
        default:
            return convertValue(s.shape, s.bytes.data(),
                                std::min<unsigned long>(s.length, s.bytes.size()));
    }
}

}  // namespace db::mysql
