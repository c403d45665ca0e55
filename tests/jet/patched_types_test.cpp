// Kinds no fixture has, made by changing one field of a copy of a real file: a linked table
// (its catalogue row says type 6) and a Large Number column (a Date/Time column's type byte set
// to 0x13, so its eight stored bytes read as a 64-bit integer).
#include <gtest/gtest.h>

#include <cstring>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/access_files.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::uint16_t get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

TEST(PatchedKinds, ALinkedTableIsListedAsLinkAndNotRead) {
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture("access/V2010/testV2010.accdb");
    Bytes b = testenv::readFile(copy);
    {
        auto db = jet::Database::open(copy.string(), {});
        const auto* msys = db->catalog().findTable("MSysObjects");
        auto reader = db->openTable(*msys);
        const auto* name = reader->def().column("Name");
        const auto* type = reader->def().column("Type");
        std::size_t nameIndex = 0;
        for (std::size_t i = 0; i < reader->columns().size(); ++i)
            if (reader->columns()[i].def == name) nameIndex = i;
        std::vector<db::Value> row;
        bool patched = false;
        while (reader->next(row)) {
            if (row[nameIndex] != db::Value::text("Table2")) continue;
            const std::size_t page = std::size_t{reader->currentPage()} * db->format().pageSize;
            const std::size_t slot =
                page + db->format().dataRowTableOffset + 2 * reader->currentSlot();
            const std::size_t start = page + (get16(b, slot) & 0x1FFF);
            const std::size_t at = start + db->format().rowColumnCountSize + type->fixedOffset;
            ASSERT_EQ(get16(b, at), 1);
            b[at] = 6;
            patched = true;
        }
        ASSERT_TRUE(patched);
    }
    testenv::writeFile(copy, b);

    auto db = jet::Database::open(copy.string(), {});
    EXPECT_EQ(db->userTableNames(), (std::vector<std::string>{"Table1", "Table3", "Table4"}));
    bool listed = false;
    for (const auto& e : db->schema())
        if (e.name == "Table2") {
            EXPECT_EQ(e.kind, jet::TableKind::Link);
            listed = true;
        }
    EXPECT_TRUE(listed);
    try {
        db->openTable("Table2");
        ADD_FAILURE() << "a linked table was read";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::NotSupported);
        EXPECT_EQ(e.message(),
                  "'Table2' is a table linked from another database, which the Access engine "
                  "cannot read yet.");
    }

    db::Connection cn;
    db::LoginFields login;
    login.accessPath = copy.string();
    cn.open(db::buildAccessConnectionString(login));
    auto rs = cn.openSchema(db::kAdSchemaTables);
    std::string type;
    while (!rs->eof()) {
        if (rs->field("TABLE_NAME").value() == db::Value::text("Table2"))
            type = rs->field("TABLE_TYPE").value().asText();
        rs->moveNext();
    }
    EXPECT_EQ(type, "LINK");
}

TEST(PatchedKinds, LargeNumberReadsEightBytesAsASignedInteger) {
    DM_REQUIRE_FIXTURE("access/V2019/extDateTestV2019.accdb");
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture("access/V2019/extDateTestV2019.accdb");
    Bytes b = testenv::readFile(copy);
    std::vector<double> dates;
    {
        auto db = jet::Database::open(copy.string(), {});
        auto reader = db->openTable("Table1");
        const auto* col = reader->def().column("DateNormal");
        ASSERT_NE(col, nullptr);
        std::size_t index = 0;
        for (std::size_t i = 0; i < reader->columns().size(); ++i)
            if (reader->columns()[i].def == col) index = i;
        std::vector<db::Value> row;
        while (reader->next(row))
            dates.push_back(row[index].isNull() ? 0 : row[index].asDateTime().toOleDate());
        // Find the column's descriptor in the definition page and change its type byte.
        const auto& f = db->format();
        const std::size_t page = std::size_t{reader->def().page} * f.pageSize;
        const std::size_t first = page + f.tdefIndexBlockOffset +
                                  reader->def().indexes.size() * f.tdefIndexCountEntrySize;
        bool patched = false;
        for (std::size_t k = 0; k < reader->def().columns.size(); ++k) {
            const std::size_t d = first + k * f.columnDescriptorSize;
            if (get16(b, d + f.colNumberOffset) == col->number) {
                ASSERT_EQ(b[d], 0x08);
                b[d] = 0x13;
                patched = true;
            }
        }
        ASSERT_TRUE(patched);
    }
    testenv::writeFile(copy, b);

    auto db = jet::Database::open(copy.string(), {});
    auto reader = db->openTable("Table1");
    std::size_t index = 0;
    for (std::size_t i = 0; i < reader->columns().size(); ++i)
        if (reader->columns()[i].def->name == "DateNormal") index = i;
    EXPECT_EQ(reader->columns()[index].valueType, jet::ColumnType::BigInt);
    std::vector<db::Value> row;
    std::size_t n = 0;
    while (reader->next(row)) {
        ASSERT_LT(n, dates.size());
        if (!row[index].isNull()) {
            // Dates round to the millisecond; the integer carries the stored bits exactly.
            double back;
            const std::int64_t got = row[index].asInteger();
            std::memcpy(&back, &got, 8);
            EXPECT_NEAR(back, dates[n], 1e-8) << n;
        }
        ++n;
    }
    EXPECT_EQ(n, dates.size());

    db::Connection cn;
    db::LoginFields login;
    login.accessPath = copy.string();
    cn.open(db::buildAccessConnectionString(login));
    EXPECT_EQ(cn.execute("SELECT * FROM Table1")->field("DateNormal").type(), 20);
}

}  // namespace
