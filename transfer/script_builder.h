// The script of a send command: for each table an optional DROP TABLE line, the CREATE TABLE
// line, one INSERT INTO line per row, with the empty lines that set the tables apart.
//
// Layout of one table (lines end with CR LF):
//   DROP TABLE `T`          only when the user agreed to overwrite
//   (empty line)
//   CREATE TABLE `T`(…)
//   (empty line)
//   INSERT INTO `T` VALUES(…)   one per row
//   (empty line)
// The whole script grows in one std::string, which the review window takes over at the end.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "db/value.h"
#include "transfer/direction.h"
#include "transfer/script_sink.h"

namespace transfer {

inline constexpr std::string_view kLineEnd = "\r\n";

// "INSERT INTO " + quoted table (db::quoteMySqlName) + " VALUES("
std::string insertHead(std::string_view table);

// Appends "INSERT INTO `T` VALUES(v1, v2, …)": the values rendered for `target` and separated by
// ", ". `head` is insertHead(table), computed once per table. An empty text is NULL, as every
// send writes it, unless `keepEmptyText` (a send with keys, where NOT NULL columns hold it):
// then ''.
void appendRowStatement(std::string& out, Direction target, std::string_view head,
                        std::span<const db::Value> row, bool keepEmptyText = false);
std::string rowStatement(Direction target, std::string_view table, std::span<const db::Value> row);

// The whole script in memory, as the review window takes it.
class ScriptBuilder : public ScriptSink {
  public:
    explicit ScriptBuilder(Direction target) : target_(target) {}

    Direction target() const { return target_; }

    // "DROP TABLE `T`" and an empty line.
    void appendDropTable(std::string_view table) override;
    // The CREATE TABLE statement and an empty line.
    void appendCreateTable(std::string_view statement) override;
    // Starts the rows of `table`; appendRow() then writes its INSERT lines.
    void beginRows(std::string_view table);
    // One INSERT line. REQUIRES: beginRows() named the table.
    void appendRow(std::span<const db::Value> row);
    // Appends a statement made elsewhere (a row statement) as one line.
    void appendStatementLine(std::string_view statement) override;
    // The empty line after a table's rows.
    void endTable() override;
    // After the first rows of a big table, grows the text once to what all its rows will need.
    void rowsWritten(long done, long total) override;

    // The statement appendRow() wrote last, without its line end (for error reports).
    std::string_view lastStatement() const {
        return std::string_view(text_).substr(lastStart_, lastLength_);
    }

    const std::string& text() const { return text_; }
    // Hands the script over and leaves the builder empty.
    std::string take();
    void reserve(std::size_t bytes) { text_.reserve(bytes); }

  private:
    Direction target_;
    std::string text_;
    std::string head_;
    std::size_t lastStart_ = 0;
    std::size_t lastLength_ = 0;
    std::size_t rowsStart_ = 0;  // the size of the text before the current table's rows
};

}  // namespace transfer
