// Generating the sample database's statements and executing them.
#include "app/sample/sample_database.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/write/new_database.h"

namespace sample {

namespace {

// A small deterministic generator (a 64-bit linear congruential one), so the sample is the
// same on every machine and every build.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }

  private:
    std::uint64_t state_;
};

std::string sqlText(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string out = "X'";
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out + "'";
}

std::string date(Random& r, int fromYear, int years, bool withTime) {
    char buf[32];
    const int y = fromYear + r.below(years), m = 1 + r.below(12), d = 1 + r.below(28);
    if (withTime)
        std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d %02d:%02d:%02d'", y, m, d, r.below(24),
                      r.below(60), r.below(60));
    else
        std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d'", y, m, d);
    return buf;
}

std::string money(Random& r, int maxWhole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%04d", r.below(maxWhole), r.below(10000));
    return buf;
}

const char* const kCompanies[] = {"Alpine Traders",    "Bäckerei Müller",
                                  "Café Olé",          "O'Brien & Sons",
                                  "Nordlys AS",        "Żabka Hurt",
                                  "Ακρόπολη ΑΕ",       "Северный ветер",
                                  "東京商事",          "Señora Núñez",
                                  "Kestrel Imports",   "Blue Fjord",
                                  "L'Étoile du Nord",  "Smith \"Quality\" Goods",
                                  "Tab\tSeparated Ltd"};
const char* const kFirst[] = {"Anna",   "Björn", "Chloé", "Dmitri", "Eileen", "François",
                              "Grete",  "Hiro",  "Ines",  "József", "Kwame",  "Łucja",
                              "Maëlle", "Niamh", "Ørjan", "Pádraig"};
const char* const kLast[] = {"O'Connor",     "Øster",   "Schmidt", "Nakamura",  "García", "Novák",
                             "Papadopoulos", "Ivanova", "D'Arcy",  "Lindqvist", "Moreau"};
const char* const kCities[] = {"Reykjavík", "München",       "Kraków",  "Zürich",
                               "São Paulo", "Île-d'Orléans", "Ålesund", "Köln",
                               "Москва",    "Αθήνα",         "大阪"};
const char* const kCountries[] = {"Iceland", "Germany", "Poland", "Switzerland", "Brazil",
                                  "Canada",  "Norway",  "Russia", "Greece",      "Japan"};
const char* const kProducts[] = {
    "Widget",           "Gadget",           "Sprocket",      "Flange",
    "Grommet",          "Doohickey",        "Gizmo",         "Thingamajig",
    "Crème brûlée kit", "Smørrebrød board", "Ümlaut polish", "Emoji 😀 sticker"};
const char* const kWords[] = {"quick",   "brown", "fox",   "jumps",      "over", "the",
                              "lazy",    "dog",   "naïve", "façade",     "it's", "don't",
                              "Ünïcödé", "50%",   "a;b",   "line\nbreak"};

std::string words(Random& r, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += r.pick(kWords);
    }
    return out;
}

std::string guid(Random& r) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "'{%08X-%04X-%04X-%04X-%04X%08X}'", r.next(), r.next() & 0xFFFF,
                  r.next() & 0xFFFF, r.next() & 0xFFFF, r.next() & 0xFFFF, r.next());
    return buf;
}

std::vector<std::uint8_t> bytes(Random& r, int n) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(n));
    for (auto& x : b)
        x = static_cast<std::uint8_t>(r.next());
    return b;
}

void customers(std::vector<std::string>& out, Random& r, int n) {
    out.push_back(
        "CREATE TABLE [Customers] ([CustomerID] COUNTER PRIMARY KEY, [CompanyName] TEXT(80) NOT "
        "NULL, [ContactName] VARCHAR(60), [City] TEXT(40), [Country] TEXT(40), [Phone] "
        "TEXT(24), [Active] YESNO, [CreditLimit] CURRENCY, [FirstOrder] DATETIME, [Notes] MEMO)");
    for (int i = 0; i < n; ++i) {
        std::string company = r.pick(kCompanies);
        if (i >= static_cast<int>(std::size(kCompanies))) company += " " + std::to_string(i);
        const std::string contact = std::string(r.pick(kFirst)) + " " + r.pick(kLast);
        std::string notes = "NULL";
        if (r.chance(60)) notes = sqlText(words(r, 3 + r.below(20)));
        if (i % 25 == 7) notes = sqlText(words(r, 900));  // longer than a page
        if (i % 31 == 3) notes = "''";
        out.push_back(
            "INSERT INTO [Customers] ([CompanyName], [ContactName], [City], "
            "[Country], [Phone], [Active], [CreditLimit], [FirstOrder], [Notes]) "
            "VALUES (" +
            sqlText(company) + ", " + (r.chance(10) ? "NULL" : sqlText(contact)) + ", " +
            sqlText(r.pick(kCities)) + ", " + sqlText(r.pick(kCountries)) + ", " +
            (r.chance(20) ? "NULL"
                          : sqlText("+" + std::to_string(1 + r.below(99)) + " " +
                                    std::to_string(1000000 + r.below(8999999)))) +
            ", " + (r.chance(70) ? "'True'" : "'False'") + ", " +
            (r.chance(15) ? "NULL" : money(r, 50000)) + ", " +
            (r.chance(10) ? "NULL" : date(r, 1998, 27, false)) + ", " + notes + ")");
    }
}

void products(std::vector<std::string>& out, Random& r, int n) {
    out.push_back(
        "CREATE TABLE [Products] ([ProductID] AUTOINCREMENT PRIMARY KEY, [ProductName] "
        "TEXT(60) NOT NULL, [CategoryID] BYTE, [UnitsInStock] SMALLINT, [UnitPrice] MONEY, "
        "[Weight] REAL, [Rating] FLOAT, [Discontinued] BIT, [Added] DATETIME, [SKU] GUID, "
        "[Barcode] VARBINARY(16), [Dimensions] DECIMAL(12,4), [Picture] LONGBINARY)");
    for (int i = 0; i < n; ++i) {
        const std::string name = std::string(r.pick(kProducts)) + " " + std::to_string(100 + i);
        std::string units = std::to_string(r.below(2000) - 100);
        if (i == 0) units = "32767";
        if (i == 1) units = "-32768";
        std::string weight = std::to_string(r.below(100000) / 100.0);
        if (i == 2) weight = "3.4E+38";
        std::string rating = std::to_string((r.below(2000001) - 1000000) / 1000.0);
        if (i == 3) rating = "-1.7976931348623157E+308";
        if (i == 4) rating = "4.9E-324";
        char dims[40];
        std::snprintf(dims, sizeof dims, "%s%d.%04d", r.chance(20) ? "-" : "", r.below(99999999),
                      r.below(10000));
        std::string added = date(r, 1990, 35, true);
        if (i == 5) added = "'1899-12-30'";
        if (i == 6) added = "'1753-01-01 06:00:00'";
        if (i == 7) added = "'9999-12-31 23:59:59'";
        out.push_back(
            "INSERT INTO [Products] ([ProductName], [CategoryID], [UnitsInStock], [UnitPrice], "
            "[Weight], [Rating], [Discontinued], [Added], [SKU], [Barcode], [Dimensions], "
            "[Picture]) VALUES (" +
            sqlText(name) + ", " + (i == 8 ? "255" : std::to_string(r.below(12))) + ", " +
            (i >= 10 && r.chance(5) ? "NULL" : units) + ", " + money(r, 2000) + ", " + weight +
            ", " + rating + ", " + (r.chance(10) ? "-1" : "0") + ", " + added + ", " +
            (r.chance(10) ? "NULL" : guid(r)) + ", " +
            (r.chance(10) ? "NULL" : hex(bytes(r, 1 + r.below(16)))) + ", " + dims + ", " +
            (i % 17 == 0    ? hex(bytes(r, 5000))
             : r.chance(70) ? "NULL"
                            : hex(bytes(r, 8 + r.below(300)))) +
            ")");
    }
}

void orders(std::vector<std::string>& out, Random& r, int n, int customers, int products) {
    out.push_back(
        "CREATE TABLE [Orders] ([OrderID] INTEGER NOT NULL PRIMARY KEY, [CustomerID] LONG, "
        "[OrderDate] DATE, [ShippedDate] TIMESTAMP, [Freight] CURRENCY, [ShipCity] TEXT(40), "
        "[Priority] TINYINT, [Comment] TEXT)");
    out.push_back(
        "CREATE TABLE [Order Details] ([OrderID] INT NOT NULL, [ProductID] INT NOT NULL, "
        "[Quantity] SHORT, [Discount] SINGLE, [UnitPrice] CURRENCY)");
    for (int i = 0; i < n; ++i) {
        const int id = 10248 + i;
        out.push_back("INSERT INTO [Orders] VALUES (" + std::to_string(id) + ", " +
                      std::to_string(1 + r.below(customers)) + ", " + date(r, 2015, 10, true) +
                      ", " + (r.chance(20) ? "NULL" : date(r, 2015, 10, true)) + ", " +
                      money(r, 900) + ", " + sqlText(r.pick(kCities)) + ", " +
                      std::to_string(r.below(4)) + ", " +
                      (r.chance(50) ? "NULL" : sqlText(words(r, 2 + r.below(8)))) + ")");
        const int lines = 1 + r.below(3);
        for (int k = 0; k < lines; ++k)
            out.push_back("INSERT INTO [Order Details] VALUES (" + std::to_string(id) + ", " +
                          std::to_string(1 + r.below(products)) + ", " +
                          std::to_string(1 + r.below(120)) + ", " +
                          std::to_string(r.below(5) * 5 / 100.0) + ", " + money(r, 300) + ")");
    }
}

}  // namespace

std::vector<std::string> sampleStatements() {
    Random r(20240229);
    std::vector<std::string> out;
    constexpr int kCustomers = 120, kProducts = 150, kOrders = 300;
    customers(out, r, kCustomers);
    products(out, r, kProducts);
    orders(out, r, kOrders, kCustomers, kProducts);
    return out;
}

void writeSampleDatabase(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    jet::createDatabase(path, jet::Version::Jet4);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    const auto db = jet::Database::open(path, options);
    jet::sql::Session session(*db);
    db->beginTransaction();
    for (const std::string& s : sampleStatements()) {
        try {
            session.execute(s);
        } catch (const jet::Error& e) {
            throw jet::Error(e.kind(), e.message() + " (in: " + s.substr(0, 200) + ")");
        }
    }
    db->commitTransaction();
}

}  // namespace sample
