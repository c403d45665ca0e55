// Helpers of the table browser tests.
#include "tests/browser/browser_fixture.h"

#include <QProcess>
#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "db/connection.h"
#include "db/error.h"
#include "ui/browser_handoff.h"
#include "ui/program_state.h"

namespace browsertest {

QString report(const QString& description, const QString& handler, int step) {
    return description + "\r\nin Quillfen2021/08/31.Form2." + handler + " at line " +
           QString::number(step) + kReportTail;
}

QStringList names(const browser::TableList* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList mdbTables(const std::filesystem::path& file) {
    QProcess p;
    p.start(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), QString::fromStdString(file)});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        throw std::runtime_error("mdb-tables could not read " + file.string() + ": " +
                                 p.readAllStandardError().toStdString());
    QStringList out;
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        out << line;
    std::stable_sort(out.begin(), out.end(), browser::tableNameLess);
    return out;
}

void setJet3Password(const std::filesystem::path& file, const std::string& password) {
    constexpr std::streamoff kPasswordOffset = 0x42;
    constexpr std::size_t kPasswordLength = 20;
    if (password.size() > kPasswordLength) throw std::invalid_argument("password too long");
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<char> field(kPasswordLength);
    f.seekg(kPasswordOffset);
    f.read(field.data(), static_cast<std::streamsize>(field.size()));
    for (std::size_t i = 0; i < password.size(); ++i)
        field[i] = static_cast<char>(field[i] ^ password[i]);
    f.seekp(kPasswordOffset);
    f.write(field.data(), static_cast<std::streamsize>(field.size()));
    if (!f) throw std::runtime_error("could not write the password into " + file.string());
}

void BrowserTest::SetUp() {
    GuiTest::SetUp();
    ui::setLoginProvider([this] { return login; });
}

void BrowserTest::TearDown() {
    ui::setBrowserHandoff(nullptr);
    handoff.reset();
    ui::setLoginProvider({});
    scratch.reset();
    GuiTest::TearDown();
}

browser::Form2& BrowserTest::form() {
    if (!handoff) handoff = std::make_unique<browser::Form2Handoff>();
    return handoff->form();
}

std::filesystem::path BrowserTest::useAccessCopy(const std::string& fixture,
                                                 const std::string& as) {
    const auto copy = dir.copyFixture(fixture, as);
    login.accessPath = copy.string();
    return copy;
}

testenv::MySqlScratch& BrowserTest::useScratchDatabase() {
    scratch = std::make_unique<testenv::MySqlScratch>();
    const db::LoginFields l = scratch->login();
    login.server = l.server;
    login.port = l.port;
    login.user = l.user;
    login.password = l.password;
    login.database = l.database;
    return *scratch;
}

QStringList BrowserTest::messageTexts() const {
    QStringList out;
    for (const auto& m : prompts.messages())
        out << m.text;
    return out;
}

QStringList BrowserTest::serverTables() const {
    auto rs = scratch->exec("SHOW TABLES");
    QStringList out;
    for (; !rs->eof(); rs->moveNext())
        out << QString::fromStdString(rs->field(std::size_t{0}).value().asText());
    std::stable_sort(out.begin(), out.end(), browser::tableNameLess);
    return out;
}

}  // namespace browsertest
