// The structure part of one whole send: each table's structure read from the source before its
// rows, its TableKeys while its lines are made, and, after the last table, the foreign keys
// whose both tables went with the send.
//
// Foreign-key lines, one per key, in the order of the tables and their keys:
//   MySQL target   ALTER TABLE `C` ADD CONSTRAINT `n` FOREIGN KEY (`a`) REFERENCES `P` (`id`)
//                  [ON UPDATE CASCADE] [ON DELETE CASCADE | ON DELETE SET NULL]
//   Access target  the same, in the Access dialect; Access needs a unique index of the
//                  referenced table on exactly the referenced columns.
// A key whose referenced table is not in the send, or whose rule the target lacks, is named in
// the notes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/access_features.h"
#include "db/table_structure.h"
#include "transfer/direction.h"
#include "transfer/table_keys.h"

namespace db {
class Connection;
}

namespace transfer {

class SendKeys {
  public:
    // `tables`: every table the send is to carry (letter case ignored), so that a table's
    // foreign keys can be counted before the tables they reference have gone.
    SendKeys(Direction target, std::vector<std::string> tables,
             db::AccessFileFeatures features = {});
    ~SendKeys();

    Direction target() const { return target_; }
    const db::AccessFileFeatures& features() const { return features_; }

    // The structure of `table`, read from `source` (before its rows are read). When it cannot
    // be read, `note` gets the sentence that says why and the table goes without its keys.
    std::optional<db::TableStructure> read(db::Connection& source, const std::string& table,
                                           std::vector<std::string>& notes);

    // Starts the table's lines; the object lives as long as this one.
    TableKeys& add(db::TableStructure structure, std::vector<std::string> fieldNames);

    // The foreign-key lines, once every table is done. `notes` gets what was left out.
    std::vector<std::string> foreignKeyLines(std::vector<std::string>& notes);

    // True when the send is to carry `table`.
    bool inSend(const std::string& table) const;

  private:
    TableKeys* sent(const std::string& table);

    Direction target_;
    std::vector<std::string> tables_;  // folded
    db::AccessFileFeatures features_;
    std::vector<std::unique_ptr<TableKeys>> added_;
};

}  // namespace transfer
