// The objects a new, empty database starts with, as plain data: the system tables with their
// columns and indexes, the catalogue rows of the containers and of the database object, the
// access-control rows of each, and the properties of the database. NEW_DATABASE.md explains
// where each value comes from; new_database.h turns these into pages.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/jet/format/column_type.h"
#include "db/jet/format/format.h"

namespace jet {

// The four security ids of an unsecured database, by the part each plays.
enum class SidRole { Engine, Admins, Creator, Users };

// One access-control row of an object: the id it names, the rights (a bit set of the engine's
// permissions), and whether the children of a container inherit it.
struct AccessRule {
    SidRole sid;
    std::uint32_t rights;
    bool inherited = false;
};

struct SystemColumn {
    std::string name;
    ColumnType type;
    std::uint16_t length;  // bytes (Text: two per character)
    std::uint8_t flags;    // column_flag bits as stored, 0x01 fixed included
    std::uint8_t extFlags = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
};

struct SystemIndex {
    std::string name;
    std::vector<std::string> columns;  // in key order, ascending
    std::uint8_t flags;                // 0x01 unique, 0x02 ignore nulls, 0x08 required, 0x80
    bool primaryKey = false;
};

struct SystemTable {
    std::string name;
    std::uint8_t tableKind;      // 0x53 the engine's own, 0x4e the ACE tables
    std::uint32_t catalogFlags;  // Flags of its MSysObjects row
    bool owned;                  // its MSysObjects row names the engine as Owner
    std::vector<SystemColumn> columns;
    std::vector<SystemIndex> indexes;
    std::vector<AccessRule> access;
};

// Catalogue ids of the objects every database has.
namespace system_id {
inline constexpr std::int32_t kRoot = 0x0F000000;
inline constexpr std::int32_t kTables = 0x0F000001;
inline constexpr std::int32_t kDatabases = 0x0F000002;
inline constexpr std::int32_t kRelationships = 0x0F000003;
inline constexpr std::int32_t kDatabaseObject = 0x10000000;  // MSysDb
}  // namespace system_id

// Catalogue rows other than tables: the three containers and MSysDb.
struct SystemObject {
    std::int32_t id;
    std::int32_t parentId;
    std::string name;
    std::int16_t type;  // 3 container, 2 database
    SidRole owner;
    std::uint32_t flags;
    std::vector<AccessRule> access;
};

// A property of the database object (MSysDb), as the properties block stores it.
struct DatabaseProperty {
    std::string name;
    ColumnType type;  // Text or Long
    std::string text;
    std::int32_t number = 0;
};

// The header creation stamp and the four stored security ids that go with it (NEW_DATABASE.md:
// the stored ids depend on the stamp, so the two are taken together from one real file).
struct CreationStamp {
    std::uint64_t dateBits;                           // the creation date as the bits of its double
    std::array<std::array<std::uint8_t, 2>, 4> sids;  // indexed by SidRole
    const std::array<std::uint8_t, 2>& sid(SidRole role) const {
        return sids[static_cast<std::size_t>(role)];
    }
};

// What a new database of `format` holds. REQUIRES: a format the engine writes (Jet 4, ACE).
// The first table is MSysObjects, whose definition must be on page 2.
std::vector<SystemTable> systemTables(const Format& format);
std::vector<SystemObject> systemObjects(const Format& format);
std::vector<DatabaseProperty> databaseProperties(const Format& format);
const CreationStamp& creationStamp(const Format& format);

// The text sort order of a new database: the language 1033, version 0 ("General Legacy"), for
// every version. Packed as the header keeps it: the language in the low 16 bits, the version in
// the top byte.
std::uint32_t newSortOrder(const Format& format);

}  // namespace jet
