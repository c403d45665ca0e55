// The manual pages as man shows them: every command and option of dunmorrow-cli --help, and
// every option of dunmorrow --help, has its entry, and man formats the pages without a warning.
#include <gtest/gtest.h>

#include <QString>
#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/start_arguments.h"
#include "tests/support/run_program.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_env.h"

namespace {

const std::string kPages = DM_MANUAL_PAGE_DIR;

#define DM_REQUIRE_MAN()                                              \
    do {                                                              \
        if (testenv::findOnPath("man").empty()) {                     \
            if (testenv::underCi()) FAIL() << "man is not installed"; \
            GTEST_SKIP() << "man is not installed (package man-db)";  \
        }                                                             \
    } while (0)

// The page as plain text, one paragraph a line (wide enough never to wrap).
testenv::ProgramResult render(const std::string& page) {
    const testenv::ScopedEnv width("MANWIDTH", "400");
    const testenv::ScopedEnv lang("LC_ALL", "C.UTF-8");
    return testenv::runProgram({"man", "--warnings", "-E", "ascii", "-l", kPages + "/" + page});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string trimmed(const std::string& s) {
    const auto a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The lines of the section headed `title` (a line of its own in capitals, not indented).
std::vector<std::string> section(const std::string& text, const std::string& title) {
    std::vector<std::string> out;
    bool inside = false;
    for (const auto& line : lines(text)) {
        const bool heading = !line.empty() && line[0] != ' ';
        if (heading) inside = line == title;
        if (inside && !heading) out.push_back(trimmed(line));
    }
    return out;
}

// The options ("--name") a help text names.
std::vector<std::string> optionsOf(const std::string& help) {
    std::vector<std::string> out;
    for (std::size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at)) {
        std::size_t end = at + 2;
        while (end < help.size() &&
               (std::isalnum(static_cast<unsigned char>(help[end])) || help[end] == '-'))
            ++end;
        const std::string option = help.substr(at, end - at);
        if (option.size() > 2 && std::find(out.begin(), out.end(), option) == out.end())
            out.push_back(option);
        at = end;
    }
    return out;
}

// True when one of `entries` begins with `option` or names it after a comma ("--help, -h").
bool hasEntry(const std::vector<std::string>& entries, const std::string& option) {
    for (const auto& e : entries) {
        const auto startsWith = [&](std::size_t at) {
            return e.compare(at, option.size(), option) == 0 &&
                   (e.size() == at + option.size() || e[at + option.size()] == ' ' ||
                    e[at + option.size()] == ',');
        };
        if (startsWith(0)) return true;
        for (auto c = e.find(", "); c != std::string::npos; c = e.find(", ", c + 1))
            if (startsWith(c + 2)) return true;
    }
    return false;
}

TEST(ManualPagesTest, EveryCommandOfTheCliHasItsOwnEntry) {
    DM_REQUIRE_MAN();
    const auto page = render("dunmorrow-cli.1");
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page.err, "");  // no warnings from the formatter
    const auto commands = section(page.out, "COMMANDS");
    ASSERT_FALSE(commands.empty()) << page.out;
    for (const auto& c : cli::commands())
        EXPECT_NE(std::find(commands.begin(), commands.end(), c.usage), commands.end())
            << "no entry \"" << c.usage << "\" under COMMANDS";
}

TEST(ManualPagesTest, EveryOptionOfTheCliHasItsOwnEntry) {
    DM_REQUIRE_MAN();
    const auto page = render("dunmorrow-cli.1");
    ASSERT_EQ(page.status, 0) << page.err;
    const auto options = section(page.out, "OPTIONS");
    const auto named = optionsOf(cli::helpText());
    ASSERT_GE(named.size(), 3u);  // --password, --format, --help at least
    for (const auto& o : named)
        EXPECT_TRUE(hasEntry(options, o)) << "no entry for " << o << " under OPTIONS";
}

TEST(ManualPagesTest, EveryOptionOfTheProgramHasItsOwnEntry) {
    DM_REQUIRE_MAN();
    const auto page = render("dunmorrow.1");
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page.err, "");
    const auto options = section(page.out, "OPTIONS");
    const auto named = optionsOf(app::startHelpText().toStdString());
    ASSERT_EQ(named, (std::vector<std::string>{"--startup-report", "--help", "--version"}));
    for (const auto& o : named)
        EXPECT_TRUE(hasEntry(options, o)) << "no entry for " << o << " under OPTIONS";
    EXPECT_TRUE(hasEntry(section(page.out, "ARGUMENTS"), "FILE"));
}

TEST(ManualPagesTest, TheEntryCheckFindsAMissingOne) {
    // The checks above would pass on a page that names nothing if hasEntry() matched loosely.
    const std::vector<std::string> entries{"--password P", "--help, -h, help", "see --format"};
    EXPECT_TRUE(hasEntry(entries, "--password"));
    EXPECT_TRUE(hasEntry(entries, "-h"));
    EXPECT_FALSE(hasEntry(entries, "--format"));  // named in passing, not an entry
    EXPECT_FALSE(hasEntry(entries, "--pass"));
    EXPECT_EQ(optionsOf("a --x-y b --z=1 -- --x-y"), (std::vector<std::string>{"--x-y", "--z"}));
}

}  // namespace
