// The question "Delete Table/s" asks before it drops anything: which tables, from which
// database, and that it cannot be undone.
//
//   one table:        Delete the table Orders from the Access database?
//                     This cannot be undone.
//   up to five:       Delete these 3 tables from the MySQL database?
//                     Orders, Customers, Products
//                     This cannot be undone.
//   more:             Delete these 12 tables from the MySQL database?
//                     A, B, C, D, E and 7 more
//                     This cannot be undone.
// Lines are separated by CR LF; names appear as the list shows them, in its order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace browser {

inline constexpr std::size_t kDeleteQuestionNames = 5;  // named in full; the rest are counted
inline constexpr const char* kDeleteTitle = "Delete?";
inline constexpr std::string_view kAccessDatabase = "the Access database";
inline constexpr std::string_view kMySqlDatabase = "the MySQL database";

// REQUIRES: `names` is not empty.
std::string deleteQuestionText(const std::vector<std::string>& names, std::string_view database);

}  // namespace browser
