// Errors of the data-access layer: a number and a description, as the windows report them.
//
// Every failure that crosses the data-access boundary is a db::Error. The number follows the
// conventions of the platform's data-access errors (so callers can test, for instance, for
// kProviderNotFound); the description is a complete sentence meant for the user.
#pragma once

#include <stdexcept>
#include <string>

namespace db {

// Error numbers. Windows show only the description; a few callers test the number.
namespace errc {
inline constexpr long kGeneric = -2147467259;          // unspecified failure
inline constexpr long kProviderNotFound = 3706;        // the Access engine cannot be started
inline constexpr long kSyntax = -2147217900;           // a statement the engine does not understand
inline constexpr long kNoSuchTable = -2147217865;      // a table that does not exist
inline constexpr long kTableExists = -2147217900 + 1;  // a table of that name already exists
inline constexpr long kBadConnectionString = -2147467260;
inline constexpr long kCannotOpen = -2147467261;      // the database cannot be opened
inline constexpr long kWrongPassword = -2147217843;   // authentication failed
inline constexpr long kCorrupt = -2147467262;         // the file is damaged
inline constexpr long kReadOnly = -2147217911;        // the database cannot be written
inline constexpr long kConstraint = -2147217887;      // a value does not fit its column
inline constexpr long kLocked = -2147467263;          // another program holds the file
inline constexpr long kNotSupported = -2147217837;    // a feature the engine does not offer
inline constexpr long kConnectionLost = -2147467264;  // the server went away during a command
// The server undid the open transaction.
inline constexpr long kTransactionRolledBack = -2147467265;
inline constexpr long kClosed = 3704;       // operation on a closed object
inline constexpr long kEof = 3021;          // no current record
inline constexpr long kNoSuchField = 3265;  // field name or index not in the collection
inline constexpr long kOverflow = 6;        // a number outside its type's range
}  // namespace errc

class Error : public std::runtime_error {
  public:
    Error(long number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

  private:
    long number_;
    std::string description_;
};

}  // namespace db
