// Adding to a check report, and reading it.
#include "db/jet/check/check_report.h"

namespace jet {

bool CheckReport::ok() const {
    for (const auto& f : findings)
        if (f.severity == CheckFinding::Severity::Problem) return false;
    return true;
}

std::vector<std::string> CheckReport::problems() const {
    std::vector<std::string> out;
    for (const auto& f : findings)
        if (f.severity == CheckFinding::Severity::Problem) out.push_back(f.area + ": " + f.message);
    return out;
}

void CheckReport::problem(std::string area, std::string message) {
    findings.push_back({CheckFinding::Severity::Problem, std::move(area), std::move(message)});
}

void CheckReport::note(std::string area, std::string message) {
    findings.push_back({CheckFinding::Severity::Note, std::move(area), std::move(message)});
}

}  // namespace jet
