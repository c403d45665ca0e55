// The type dialog's proposals for the columns of one source table, read without a window: the
// dialog fills its lists with them, and a send that takes the proposals as they stand (the
// command line's --proposed-types) completes the CREATE TABLE statement with them exactly as the
// dialog's "OK" does.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/access_features.h"
#include "transfer/column_mapping.h"
#include "transfer/direction.h"

namespace db {
class Connection;
}

namespace typecustom {

// The query that reads the first row of the source table: "SELECT * FROM `t` LIMIT 1" on MySQL
// (an Access target), "SELECT top 1 * FROM [t]" on Access (a MySQL target). Throws db::Error
// for an Access table name that cannot stand between brackets.
std::string firstRowQuery(transfer::Direction target, std::string_view table);

// Opens a record set on firstRowQuery() over `source` (open, on the source side of `target`) and
// calls `add` with each field's name and proposed type (proposeType), in field order. A failure
// reaches the caller; what `add` received before it stays received.
// `features`: those of the Access file an Access target is.
void proposeColumnTypes(
    db::Connection& source, transfer::Direction target, std::string_view table,
    const std::function<void(const std::string& name, const std::string& type)>& add,
    const db::AccessFileFeatures& features = {});

struct ColumnProposal {
    std::string name;
    std::string type;
};
std::vector<ColumnProposal> proposeColumnTypes(db::Connection& source, transfer::Direction target,
                                               std::string_view table,
                                               const db::AccessFileFeatures& features = {});

// The statement "OK" makes from `head` (ending in "(") when every proposal stands as proposed:
// each column quoted for the target (square brackets for Access, backticks for MySQL), a name
// that reads as a number replaced by NewFieldName, one blank, the type, "," between
// definitions, and ")". `head` alone when there are no columns. Throws db::Error for an Access
// column name that Access cannot hold (the dialog offers a new name instead; here nobody can).
// `decorate`, when set, makes each definition's text after the name from the type (a send that
// carries keys adds NOT NULL, DEFAULT and the like there).
std::string proposedCreateStatement(std::string head, transfer::Direction target,
                                    const std::vector<ColumnProposal>& columns,
                                    const transfer::ColumnDecorator& decorate = {});

}  // namespace typecustom
