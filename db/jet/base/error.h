// Errors of the Access engine: a kind and a sentence that names the cause and where it was found.
//
// Every failure inside the engine is a jet::Error. Corrupt files are normal input: a decoding
// failure says what was wrong and where (page, offset) and never is an internal bug. The
// data-access layer turns the kinds into its own numbered errors at one boundary.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorKind {
    Io,             // the operating system refused a read or write
    NotDatabase,    // the file is not an Access database at all
    Corrupt,        // a structure inside the file is damaged
    WrongPassword,  // the database password does not match
    NotSupported,   // a feature of the file the engine does not offer (yet)
    NoSuchTable,    // a statement names a table that does not exist
    Syntax,         // a statement the engine does not understand
    ReadOnly,       // the database cannot be written
    Engine,         // the engine could not be started (crypto providers)
    Locked,         // another program holds the database
    Usage,          // a call out of order (a commit with no transaction open, ...)
    Constraint,     // a value does not fit its column, or a statement would break a rule
    TableExists,    // a statement would create a table whose name is taken
};

class Error : public std::runtime_error {
  public:
    Error(ErrorKind kind, std::string message)
        : std::runtime_error(message), kind_(kind), message_(std::move(message)) {}
    ErrorKind kind() const noexcept { return kind_; }
    const std::string& message() const noexcept { return message_; }

  private:
    ErrorKind kind_;
    std::string message_;
};

// No page: the failure is not tied to one page (header fields, whole-file checks).
inline constexpr std::uint32_t kNoPage = 0xFFFFFFFFu;

// "The file is damaged: <what> (page N, offset X)." — the page and offset parts are left out
// when unknown.
[[noreturn]] void throwCorrupt(const std::string& what, std::uint32_t page = kNoPage,
                               std::int64_t offset = -1);

}  // namespace jet
