// Building the script text.
#include "transfer/script_builder.h"

#include "db/sql_names.h"
#include "transfer/column_mapping.h"
#include "transfer/table_script.h"
#include "transfer/value_render.h"

namespace transfer {

std::string insertHead(std::string_view table) {
    return "INSERT INTO " + db::quoteMySqlName(table) + " VALUES(";
}

void appendRowStatement(std::string& out, Direction target, std::string_view head,
                        std::span<const db::Value> row, bool keepEmptyText) {
    // A Null becomes an empty text, which is written as NULL.
    static const db::Value kEmptyText = db::Value::text("");
    out += head;
    bool first = true;
    for (const auto& v : row) {
        if (!first) out += ", ";
        first = false;
        if (keepEmptyText && v.kind() == db::Value::Kind::Text && v.asText().empty())
            out += "''";
        else
            appendRenderedValue(out, target, NullToDefault(v, kEmptyText));
    }
    out += ')';
}

std::string rowStatement(Direction target, std::string_view table, std::span<const db::Value> row) {
    std::string s;
    appendRowStatement(s, target, insertHead(table), row);
    return s;
}

void ScriptBuilder::appendDropTable(std::string_view table) {
    text_ += dropTableStatement(table);
    text_ += kLineEnd;
    text_ += kLineEnd;
    lastLength_ = 0;
}

void ScriptBuilder::appendCreateTable(std::string_view statement) {
    text_ += statement;
    text_ += kLineEnd;
    text_ += kLineEnd;
    lastLength_ = 0;
    rowsStart_ = text_.size();
}

void ScriptBuilder::rowsWritten(long done, long total) {
    reserveForRows(*this, rowsStart_, done, total);
}

void ScriptBuilder::beginRows(std::string_view table) {
    head_ = insertHead(table);
}

void ScriptBuilder::appendRow(std::span<const db::Value> row) {
    const std::size_t start = text_.size();
    appendRowStatement(text_, target_, head_, row);
    lastStart_ = start;
    lastLength_ = text_.size() - start;
    text_ += kLineEnd;
}

void ScriptBuilder::appendStatementLine(std::string_view statement) {
    lastStart_ = text_.size();
    lastLength_ = statement.size();
    text_ += statement;
    text_ += kLineEnd;
}

void ScriptBuilder::endTable() {
    text_ += kLineEnd;
    lastLength_ = 0;
}

std::string ScriptBuilder::take() {
    lastStart_ = 0;
    lastLength_ = 0;
    std::string out = std::move(text_);
    text_.clear();
    return out;
}

}  // namespace transfer
