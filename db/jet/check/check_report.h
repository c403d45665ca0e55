// What the integrity check found: findings by area and severity, and the figures of the file.
// Every part of the check (check.h, index_check.h) adds to one report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

struct CheckFinding {
    enum class Severity { Problem, Note };
    Severity severity = Severity::Problem;
    std::string area;     // "catalogue", "pages", "long values", "indexes"
    std::string message;  // a sentence
};

struct CheckReport {
    std::vector<CheckFinding> findings;
    std::uint32_t pages = 0;        // pages in the file
    std::uint32_t freePages = 0;    // listed free by the free-page map
    std::uint32_t orphanPages = 0;  // neither free nor claimed
    std::uint32_t tables = 0;       // tables checked (system tables included)
    std::uint64_t rows = 0;         // rows read
    std::uint64_t longValues = 0;   // Memo and OLE Object values outside their rows

    bool ok() const;
    std::vector<std::string> problems() const;  // "area: message" of every problem
    void problem(std::string area, std::string message);
    void note(std::string area, std::string message);
};

}  // namespace jet
