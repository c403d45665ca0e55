// The system tables, containers, access rows and properties of a new database, per version.
#include "db/jet/catalog/system_tables.h"

namespace jet {

namespace {

using T = ColumnType;

// Column flags of the engine's own tables: updatable and marked as the engine's (0x10); fixed
// columns add 0x01, the security-id columns 0x20.
constexpr std::uint8_t kVar = 0x12;
constexpr std::uint8_t kFixed = 0x13;
constexpr std::uint8_t kSid = 0x32;
constexpr std::uint8_t kAutoNumber = 0x17;
// Columns of the ACE template tables: updatable only.
constexpr std::uint8_t kPlainVar = 0x02;
constexpr std::uint8_t kPlainFixed = 0x03;
constexpr std::uint8_t kAttachmentPart = 0x10;  // extra flag of the attachment columns

constexpr std::uint16_t kText255 = 510;    // Text(255): two bytes a character
constexpr std::uint16_t kBinary255 = 510;  // as the engine sizes its binary columns

constexpr std::uint8_t kEngineTable = 0x53;
constexpr std::uint8_t kAceTable = 0x4e;
constexpr std::uint32_t kSystemFlag = 0x80000000u;
constexpr std::uint32_t kComplexTypeFlags = 0x80030000u;

// Rights, as the engine grants them in a new database.
constexpr std::uint32_t kReadWriteSecurity = 0x60000;
constexpr std::uint32_t kRelationshipsAdmin = 0xE0000;
constexpr std::uint32_t kContainerCreator = 0xF00FE;
constexpr std::uint32_t kContainerAdmin = 0x60001;
constexpr std::uint32_t kDatabaseAdmin = 0x6000E;
constexpr std::uint32_t kDatabaseUsers = 0x0E;
constexpr std::uint32_t kReadData = 0x14;
constexpr std::uint32_t kTablesUsers = 0xFFEFF;
constexpr std::uint32_t kRelationshipsUsers = 0xFFFFF;

bool isAce(const Format& f) {
    return f.version != Version::Jet3 && f.version != Version::Jet4;
}

SystemTable msysObjects() {
    return {"MSysObjects",
            kEngineTable,
            kSystemFlag,
            true,
            {
                {"Id", T::Long, 4, kFixed},
                {"ParentId", T::Long, 4, kFixed},
                {"Name", T::Text, kText255, kVar},
                {"Type", T::Integer, 2, kFixed},
                {"DateCreate", T::DateTime, 8, kFixed},
                {"DateUpdate", T::DateTime, 8, kFixed},
                {"Owner", T::Binary, kBinary255, kSid},
                {"Flags", T::Long, 4, kFixed},
                {"Database", T::Memo, 0, kVar},
                {"Connect", T::Memo, 0, kVar},
                {"ForeignName", T::Text, kText255, kVar},
                {"RmtInfoShort", T::Binary, kBinary255, kVar},
                {"RmtInfoLong", T::Ole, 0, kVar},
                {"Lv", T::Ole, 0, kVar},
                {"LvProp", T::Ole, 0, kVar},
                {"LvModule", T::Ole, 0, kVar},
                {"LvExtra", T::Ole, 0, kVar},
            },
            {
                {"ParentIdName", {"ParentId", "Name"}, 0x81},
                {"Id", {"Id"}, 0x81, true},
            },
            {{SidRole::Admins, kReadWriteSecurity}, {SidRole::Users, kReadData}}};
}

SystemTable msysAces() {
    return {"MSysACEs",
            kEngineTable,
            kSystemFlag,
            true,
            {
                {"ObjectId", T::Long, 4, kFixed},
                {"SID", T::Binary, kBinary255, kSid},
                {"ACM", T::Long, 4, kFixed},
                {"FInheritable", T::Boolean, 1, kFixed},
            },
            {{"ObjectId", {"ObjectId"}, 0x88}},
            {{SidRole::Admins, kReadWriteSecurity}}};
}

SystemTable msysQueries() {
    return {"MSysQueries",
            kEngineTable,
            kSystemFlag,
            true,
            {
                {"ObjectId", T::Long, 4, kFixed},
                {"Attribute", T::Byte, 1, kFixed},
                {"Order", T::Binary, kBinary255, kVar},
                {"Name1", T::Text, kText255, kVar},
                {"Name2", T::Text, kText255, kVar},
                {"Expression", T::Memo, 0, kVar},
                {"Flag", T::Integer, 2, kFixed},
                {"LvExtra", T::Long, 4, kFixed},
            },
            {{"ObjectIdAttribute", {"ObjectId", "Attribute", "Order"}, 0x81, true}},
            {{SidRole::Admins, kReadWriteSecurity}, {SidRole::Users, kReadData}}};
}

SystemTable msysRelationships() {
    return {"MSysRelationships",
            kEngineTable,
            kSystemFlag,
            true,
            {
                {"szRelationship", T::Text, kText255, kVar},
                {"grbit", T::Long, 4, kFixed},
                {"ccolumn", T::Long, 4, kFixed},
                {"icolumn", T::Long, 4, kFixed},
                {"szObject", T::Text, kText255, kVar},
                {"szColumn", T::Text, kText255, kVar},
                {"szReferencedObject", T::Text, kText255, kVar},
                {"szReferencedColumn", T::Text, kText255, kVar},
            },
            {
                {"szRelationship", {"szRelationship"}, 0x82},
                {"szObject", {"szObject"}, 0x82},
                {"szReferencedObject", {"szReferencedObject"}, 0x82},
            },
            {{SidRole::Admins, kRelationshipsAdmin}, {SidRole::Users, kReadData}}};
}

const std::vector<AccessRule> kAceTableAccess = {{SidRole::Admins, kReadWriteSecurity},
                                                 {SidRole::Users, kReadData}};

SystemTable msysComplexColumns() {
    return {"MSysComplexColumns",
            kAceTable,
            kSystemFlag,
            false,
            {
                {"ColumnName", T::Text, kText255, kVar},
                {"ComplexTypeObjectID", T::Long, 4, kFixed},
                {"FlatTableID", T::Long, 4, kFixed},
                {"ConceptualTableID", T::Long, 4, kFixed},
                {"ComplexID", T::Long, 4, kAutoNumber},
            },
            {
                {"IdxID", {"ComplexID"}, 0x8b, true},
                {"IdxConceptualTableID", {"ConceptualTableID"}, 0x8a},
                {"IdxFlatTableID", {"FlatTableID"}, 0x8a},
            },
            kAceTableAccess};
}

// A template table of one complex value kind: a single column "Value".
SystemTable complexType(const char* kind, SystemColumn value) {
    value.name = "Value";
    return {std::string("MSysComplexType_") + kind,
            kAceTable,
            kComplexTypeFlags,
            false,
            {value},
            {},
            kAceTableAccess};
}

SystemTable complexAttachment() {
    SystemTable t = complexType("Attachment", {"", T::Memo, 0, kPlainVar});
    t.columns = {
        {"FileURL", T::Memo, 0, kPlainVar, kAttachmentPart},
        {"FileName", T::Text, kText255, kPlainVar, kAttachmentPart},
        {"FileType", T::Text, kText255, kPlainVar, kAttachmentPart},
        {"FileData", T::Ole, 0, kPlainVar, kAttachmentPart},
        {"FileTimeStamp", T::DateTime, 8, kPlainFixed, kAttachmentPart},
        {"FileFlags", T::Long, 4, kPlainFixed, kAttachmentPart},
    };
    return t;
}

}  // namespace

std::vector<SystemTable> systemTables(const Format& format) {
    std::vector<SystemTable> tables = {msysObjects(), msysAces(), msysQueries(),
                                       msysRelationships()};
    if (!isAce(format)) return tables;
    tables.push_back(msysComplexColumns());
    tables.push_back(complexType("UnsignedByte", {"", T::Byte, 1, kPlainFixed}));
    tables.push_back(complexType("Short", {"", T::Integer, 2, kPlainFixed}));
    tables.push_back(complexType("Long", {"", T::Long, 4, kPlainFixed}));
    tables.push_back(complexType("IEEESingle", {"", T::Single, 4, kPlainFixed}));
    tables.push_back(complexType("IEEEDouble", {"", T::Double, 8, kPlainFixed}));
    tables.push_back(complexType("GUID", {"", T::Guid, 16, kPlainFixed}));
    // The engine keeps the decimal template variable-length, 9 bytes long.
    tables.push_back(complexType("Decimal", {"", T::Decimal, 9, kPlainVar, 0, 18, 0}));
    tables.push_back(complexType("Text", {"", T::Text, kText255, kPlainVar}));
    tables.push_back(complexAttachment());
    return tables;
}

std::vector<SystemObject> systemObjects(const Format&) {
    using namespace system_id;
    return {
        {kTables,
         kRoot,
         "Tables",
         3,
         SidRole::Engine,
         kSystemFlag,
         {{SidRole::Creator, kContainerCreator, true},
          {SidRole::Admins, kContainerAdmin},
          {SidRole::Users, kTablesUsers, true}}},
        {kDatabases,
         kRoot,
         "Databases",
         3,
         SidRole::Engine,
         kSystemFlag,
         {{SidRole::Admins, kReadWriteSecurity}}},
        {kRelationships,
         kRoot,
         "Relationships",
         3,
         SidRole::Engine,
         kSystemFlag,
         {{SidRole::Creator, kContainerCreator, true},
          {SidRole::Admins, kContainerAdmin},
          {SidRole::Users, kRelationshipsUsers, true}}},
        {kDatabaseObject,
         kDatabases,
         "MSysDb",
         2,
         SidRole::Admins,
         kSystemFlag,
         {{SidRole::Admins, kDatabaseAdmin}, {SidRole::Users, kDatabaseUsers}}},
    };
}

std::vector<DatabaseProperty> databaseProperties(const Format& format) {
    // "08.50" is the Access 2000 file format, which every Access from 2000 on opens as it is;
    // every .accdb says "09.50".
    if (!isAce(format)) return {{"AccessVersion", T::Text, "08.50"}, {"Build", T::Long, "", 6620}};
    return {{"AccessVersion", T::Text, "09.50"}, {"Build", T::Long, "", 1150}};
}

const CreationStamp& creationStamp(const Format& format) {
    // Jet 4: a file the engine made on its own, 2017-04-25 11:33:57.
    static const CreationStamp kJet4 = {0x40E4EC4F6BD4AF81ull,
                                        {{{0x06, 0xEA}, {0x07, 0xE8}, {0x06, 0xED}, {0x06, 0xE8}}}};
    // ACE: a file Access 2007 made, 2010-03-05 14:37:46.
    static const CreationStamp kAce = {0x40E3A6538187CEE6ull,
                                       {{{0x52, 0xA6}, {0x53, 0xA4}, {0x52, 0xA1}, {0x52, 0xA4}}}};
    return isAce(format) ? kAce : kJet4;
}

std::uint32_t newSortOrder(const Format&) {
    // "General Legacy" (version 0) for every version: the order of Access before 2010, which
    // Access 2010 and later keep in files that have it (the empty file of Access 2019 here has
    // it), and the one whose keys the engine knows for accented Latin letters; keys of the
    // newer "General" order are known for fewer characters (text_collation.h).
    constexpr std::uint32_t kGeneralLegacy = 1033;
    return kGeneralLegacy;
}

}  // namespace jet
