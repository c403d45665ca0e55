// The rows of one MySQL result, held on the client.
//
// A StoredResultCursor owns a result fetched whole with mysql_store_result, so its row count is
// exact and it stays readable after the session has moved on or closed. Each next() converts one
// row straight from the library's row buffers into the caller's vector, reusing its slots.
#pragma once

#include <vector>

#include "db/backend.h"
#include "db/mysql/mysql_fields.h"
#include "db/mysql/mysql_handles.h"

namespace db::mysql {

class StoredResultCursor : public Cursor {
  public:
    // REQUIRES: `result` comes from mysql_store_result.
    explicit StoredResultCursor(ResultHandle result);

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long recordCount() override { return count_; }
    bool next(std::vector<Value>& row) override;

  private:
    ResultHandle result_;
    std::vector<FieldInfo> fields_;
    std::vector<ColumnShape> shapes_;
    long count_ = 0;
};

}  // namespace db::mysql
