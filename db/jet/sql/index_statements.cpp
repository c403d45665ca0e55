// CREATE INDEX and ALTER TABLE … ADD CONSTRAINT: the names of the statement resolved against the
// table, the index built by the writer of indexes (index_creator.h).
#include "db/jet/base/error.h"
#include "db/jet/sql/table_writer.h"
#include "db/jet/write/index_creator.h"

namespace jet {

void TableWriter::createIndex(const sql::CreateIndexStatement& s) {
    db_.writeStatement([&] {
        addIndex(s.table, s.name, s.columns, s.unique, s.primary, s.disallowNull, s.ignoreNull);
    });
}

void TableWriter::addConstraint(const sql::AddConstraintStatement& s) {
    db_.writeStatement([&] {
        if (s.kind == sql::AddConstraintStatement::Kind::ForeignKey) {
            addRelationship(s);
            return;
        }
        std::vector<sql::IndexColumnName> columns;
        for (const auto& c : s.columns)
            columns.push_back({c, true});
        const bool primary = s.kind == sql::AddConstraintStatement::Kind::PrimaryKey;
        addIndex(s.table, s.name, columns, true, primary, primary, false);
    });
}

void TableWriter::addIndex(const std::string& table, const std::string& name,
                           const std::vector<sql::IndexColumnName>& columns, bool unique,
                           bool primaryKey, bool required, bool ignoreNulls) {
    const CatalogEntry entry = findTable(table);  // a copy: the catalogue is read anew below
    requireUserTable(entry, "add an index to");
    validateName(name, "index");
    const auto def = db_.tableDef(entry);
    NewTableIndex index;
    index.name = name;
    index.unique = unique;
    index.primaryKey = primaryKey;
    index.required = required;
    index.ignoreNulls = ignoreNulls;
    for (const auto& c : columns) {
        const ColumnDef* column = nullptr;
        for (const auto& d : def->columns)
            if (sameName(d.name, c.name)) column = &d;
        if (!column)
            throw Error(ErrorKind::Syntax, "The table '" + entry.name + "' has no column '" +
                                               c.name + "' for the index '" + name + "'.");
        index.columns.push_back({column->number, c.ascending});
    }
    addTableIndex(db_, entry, index);
    db_.schemaChanged();
}

}  // namespace jet
