// Opening a database and handing out its tables.
#include "db/jet/database.h"

#include "db/jet/complex_column.h"
#include "db/jet/error.h"
#include "db/jet/long_value.h"
#include "db/jet/office_codec.h"
#include "db/jet/table_reader.h"

namespace jet {

Database::~Database() = default;

std::unique_ptr<Database> Database::open(const std::string& path, const OpenOptions& options) {
    return open(openPosixFile(path, options.mode), options);
}

std::unique_ptr<Database> Database::open(std::unique_ptr<File> file, const OpenOptions& options) {
    const Format& format = detectFormat(*file);
    std::unique_ptr<Database> db(new Database());
    db->pager_ = std::make_unique<Pager>(std::move(file), format, options.cachePages);
    const PageRef page0 = db->pager_->page(0);
    db->header_ = readHeader(page0->span(), format);
    // The password is checked before any page other than the header is read.
    if (db->header_.encodingKey != 0 && format.codec == CodecKind::Office) {
        // An encrypted .accdb: its own verifier checks the password and gives the page key.
        db->encryption_ = readOfficeEncryption(page0->span());
        db->pager_->setCodec(
            openOfficeCodec(*db->encryption_, db->header_.encodingKey, options.password));
    } else {
        checkAccess(db->header_, options.password);
        if (db->header_.encodingKey != 0)
            db->pager_->setCodec(std::make_unique<Rc4PageCodec>(db->header_.encodingKey));
    }
    db->codePage_ = &CodePage::get(db->header_.codePage);
    db->catalog_ = std::make_unique<Catalog>(*db->pager_, *db->codePage_);
    return db;
}

std::vector<Database::SchemaEntry> Database::schema() const {
    std::vector<SchemaEntry> out;
    for (const auto& e : catalog_->entries())
        if (auto kind = catalog_->kindOf(e)) out.push_back({e.name, *kind});
    return out;
}

std::vector<std::string> Database::userTableNames() const {
    std::vector<std::string> out;
    for (const auto& e : catalog_->entries())
        if (catalog_->kindOf(e) == TableKind::Table) out.push_back(e.name);
    return out;
}

std::shared_ptr<const TableDef> Database::tableDef(const CatalogEntry& entry) {
    const std::uint32_t page = entry.tableDefPage();
    auto it = defs_.find(page);
    if (it != defs_.end()) return it->second;
    auto def = std::make_shared<const TableDef>(readTableDef(*pager_, page, *codePage_));
    defs_.emplace(page, def);
    return def;
}

std::vector<PropertyMap> Database::properties(const CatalogEntry& entry) {
    if (entry.lvPropRef.empty()) return {};
    const ByteReader ref(entry.lvPropRef, "property reference");
    const std::vector<std::uint8_t> blob = readLongValue(*pager_, ref);
    return parseProperties(blob, format(), *codePage_);
}

std::unique_ptr<TableReader> Database::openTable(std::string_view name) {
    const CatalogEntry* entry = catalog_->findTable(name);
    if (entry) return openTable(*entry);
    const std::string folded = foldName(name);
    for (const auto& e : catalog_->entries()) {
        if (foldName(e.name) != folded || e.parentId != catalog_->tablesContainer()) continue;
        if (e.type == object_type::kQuery)
            throw Error(
                ErrorKind::NotSupported,
                "'" + e.name + "' is a saved query, which the Access engine cannot run yet.");
        if (e.type == object_type::kLink || e.type == object_type::kOdbcLink)
            throw Error(ErrorKind::NotSupported,
                        "'" + e.name +
                            "' is a table linked from another database, which the Access engine "
                            "cannot read yet.");
    }
    throw Error(ErrorKind::NoSuchTable,
                "The Access engine cannot find the table '" + std::string(name) +
                    "'. Make sure it exists and that its name is spelled correctly.");
}

std::unique_ptr<TableReader> Database::openTable(const CatalogEntry& entry, bool resolveComplex) {
    auto def = tableDef(entry);
    bool anyCalculated = false;
    for (const auto& c : def->columns)
        if (c.calculated()) anyCalculated = true;
    std::vector<PropertyMap> props;
    if (anyCalculated) props = properties(entry);

    std::vector<ColumnDecoder> decoders;
    std::map<std::uint16_t, ComplexValueMap> complex;
    for (const auto& c : def->columns) {
        std::uint8_t resultType = 0;
        if (c.calculated()) {
            for (const auto& map : props)
                if (foldName(map.name) == foldName(c.name))
                    if (const Property* p = map.find("ResultType"); p && !p->value.empty())
                        resultType = p->value[0];
        }
        decoders.push_back(ColumnDecoder::make(c, resultType));
        if (c.type == ColumnType::Complex && resolveComplex && format().complexColumns)
            complex.emplace(c.number, loadComplexValues(*this, *def, c));
    }
    auto reader = std::make_unique<TableReader>(*this, entry.name, def, std::move(decoders),
                                                std::move(complex));
    return reader;
}

}  // namespace jet
