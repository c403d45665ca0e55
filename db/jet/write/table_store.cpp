// Inserting and deleting the rows of one table.
#include "db/jet/write/table_store.h"

#include <algorithm>
#include <random>

#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/write/long_value_writer.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/write/value_encoder.h"

namespace jet {

namespace {

// The definition's last AutoNumber, as the pages hold it now.
std::uint32_t storedAutoNumber(Pager& pager, const TableDef& def) {
    const PageRef p = pager.page(def.page);
    return ByteReader(p->span(), "table definition", def.page)
        .u32(pager.format().tdefAutoNumberOffset);
}

db::Guid randomGuid() {
    static std::mt19937_64 engine{std::random_device{}()};
    db::Guid g;
    for (std::size_t i = 0; i < g.size(); i += 8) {
        const std::uint64_t r = engine();
        for (std::size_t k = 0; k < 8; ++k)
            g[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    g[6] = static_cast<std::uint8_t>((g[6] & 0x0F) | 0x40);  // version 4
    g[8] = static_cast<std::uint8_t>((g[8] & 0x3F) | 0x80);  // the standard variant
    return g;
}

bool flagProperty(const std::vector<PropertyMap>& maps, const std::string& column,
                  const char* property) {
    for (const auto& m : maps) {
        if (!sameName(m.name, column)) continue;
        if (const Property* p = m.find(property)) return !p->value.empty() && p->value[0] != 0;
    }
    return false;
}

bool flagPropertyIsFalse(const std::vector<PropertyMap>& maps, const std::string& column,
                         const char* property) {
    for (const auto& m : maps) {
        if (!sameName(m.name, column)) continue;
        if (const Property* p = m.find(property)) return !p->value.empty() && p->value[0] == 0;
    }
    return false;
}

// The Default Value of `column`, when it is one the engine can evaluate.
std::optional<ColumnDefaultValue> defaultProperty(const std::vector<PropertyMap>& maps,
                                                  const std::string& column, const Format& format,
                                                  const CodePage& codePage) {
    for (const auto& m : maps) {
        if (!sameName(m.name, column)) continue;
        const Property* p = m.find("DefaultValue");
        if (!p || (p->type != static_cast<std::uint8_t>(ColumnType::Memo) &&
                   p->type != static_cast<std::uint8_t>(ColumnType::Text)))
            continue;
        std::string text;
        if (format.unicodeText)
            appendUtf16le(text, ByteSpan(p->value.data(), p->value.size()));
        else
            text = codePage.decode(ByteSpan(p->value.data(), p->value.size()));
        return parseDefaultExpression(text);
    }
    return std::nullopt;
}

}  // namespace

TableStore::TableStore(Database& db, const CatalogEntry& entry, std::shared_ptr<const TableDef> def)
    : db_(db), def_(std::move(def)), name_(entry.name) {
    Pager& pager = db_.pager();
    home_.owner = def_->page;
    home_.ownedPagesRef = def_->ownedPagesRef;
    home_.freePagesRef = def_->freePagesRef;
    for (const auto& c : def_->columns)
        if (isLongValue(c.type)) longHomes_.emplace(c.number, longValueHome(*def_, c));
    indexes_ = std::make_unique<TableIndexes>(pager, *def_, name_);
    try {
        for (auto& key : enforcedForeignKeys(db_, name_))
            foreignKeys_.push_back(std::make_unique<ForeignKeyCheck>(db_, *def_, std::move(key)));
    } catch (const Error& e) {
        if (e.kind() != ErrorKind::NotSupported) throw;
        foreignKeyRefusal_ = e;
    }
    const std::vector<PropertyMap> props = db_.properties(entry);
    for (const auto& c : def_->columns) {
        required_.push_back(flagProperty(props, c.name, "Required"));
        noZeroLength_.push_back((c.type == ColumnType::Text || c.type == ColumnType::Memo) &&
                                flagPropertyIsFalse(props, c.name, "AllowZeroLength"));
        defaults_.push_back(c.autoNumber()
                                ? std::nullopt
                                : defaultProperty(props, c.name, db_.format(), db_.codePage()));
    }
}

TableStore::~TableStore() = default;

bool TableStore::validFor(const std::shared_ptr<const TableDef>& current) const {
    if (current == def_) return true;
    const TableDef& a = *current;
    const TableDef& b = *def_;
    if (a.pages != b.pages || a.ownedPagesRef != b.ownedPagesRef ||
        a.freePagesRef != b.freePagesRef || a.maxColumns != b.maxColumns ||
        a.varColumns != b.varColumns || a.columns.size() != b.columns.size() ||
        a.indexes.size() != b.indexes.size() || a.logicalIndexes.size() != b.logicalIndexes.size())
        return false;
    for (std::size_t i = 0; i < a.columns.size(); ++i) {
        const ColumnDef& x = a.columns[i];
        const ColumnDef& y = b.columns[i];
        if (x.name != y.name || x.typeCode != y.typeCode || x.number != y.number ||
            x.varIndex != y.varIndex || x.fixedOffset != y.fixedOffset || x.length != y.length ||
            x.flags != y.flags || x.extFlags != y.extFlags || x.precision != y.precision ||
            x.scale != y.scale || x.sortOrder != y.sortOrder ||
            x.sortOrderVersion != y.sortOrderVersion || x.ownedPagesRef != y.ownedPagesRef ||
            x.freePagesRef != y.freePagesRef)
            return false;
    }
    for (std::size_t i = 0; i < a.indexes.size(); ++i) {
        const PhysicalIndex& x = a.indexes[i];
        const PhysicalIndex& y = b.indexes[i];
        if (x.firstPage != y.firstPage || x.usageMapRef != y.usageMapRef || x.flags != y.flags ||
            x.columns.size() != y.columns.size())
            return false;
        for (std::size_t k = 0; k < x.columns.size(); ++k)
            if (x.columns[k].columnNumber != y.columns[k].columnNumber ||
                x.columns[k].ascending != y.columns[k].ascending)
                return false;
    }
    return true;
}

void TableStore::requireWritable() const {
    for (const auto& c : def_->columns) {
        if (c.calculated())
            throw Error(ErrorKind::NotSupported,
                        "The Access engine cannot yet write to the table '" + name_ +
                            "': its column '" + c.name + "' is calculated by Access.");
        if (c.type == ColumnType::Complex)
            throw Error(ErrorKind::NotSupported,
                        "The Access engine cannot yet write to the table '" + name_ +
                            "': its column '" + c.name +
                            "' holds several values (an attachment or multi-valued field).");
    }
    indexes_->requireWritable();
    if (foreignKeyRefusal_) throw *foreignKeyRefusal_;
}

RowId TableStore::insert(std::vector<db::Value> values) {
    Pager& pager = db_.pager();
    const Format& f = pager.format();
    const TableDef& def = *def_;
    if (values.size() != def.columns.size())
        throw Error(ErrorKind::Engine, "A row for table '" + name_ + "' has the wrong width.");

    std::uint32_t autoNumber = storedAutoNumber(pager, def);
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        db::Value& v = values[i];
        if ((c.flags & column_flag::kAutoNumber) && c.type == ColumnType::Long) {
            if (v.isNull()) {
                if (autoNumber == 0x7FFFFFFFu)
                    throw Error(ErrorKind::Constraint, "The AutoNumber column '" + c.name +
                                                           "' of table '" + name_ +
                                                           "' has no numbers left.");
                v = db::Value::integer(++autoNumber);
            } else if (v.asInteger() > 0 &&
                       static_cast<std::uint32_t>(v.asInteger()) > autoNumber) {
                autoNumber = static_cast<std::uint32_t>(v.asInteger());
            }
        } else if ((c.flags & column_flag::kAutoGuid) && c.type == ColumnType::Guid && v.isNull()) {
            v = db::Value::guid(randomGuid());
        }
        if (c.type == ColumnType::Boolean) continue;
        if (v.isNull() && required_[i])
            throw Error(ErrorKind::Constraint,
                        "The column '" + c.name + "' of table '" + name_ +
                            "' requires a value, but the row leaves it Null.");
        if (noZeroLength_[i] && v.kind() == db::Value::Kind::Text && v.asText().empty())
            throw Error(ErrorKind::Constraint, "The column '" + c.name + "' of table '" + name_ +
                                                   "' does not allow a zero-length text.");
    }

    for (auto& fk : foreignKeys_)
        fk->check(values);

    // The fields, with long values inline where they are short.
    // Buffers kept from row to row, so a row costs no allocations of its own.
    std::vector<RowField>& fields = fields_;
    std::vector<std::vector<std::uint8_t>>& longData = longData_;
    fields.resize(def.columns.size());
    longData.resize(def.columns.size());
    for (auto& field : fields) {
        field.present = false;
        field.bytes.clear();
    }
    std::vector<std::size_t> outOfRow;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        const db::Value& v = values[i];
        RowField& field = fields[i];
        if (c.type == ColumnType::Boolean) {
            field.present = !v.isNull() && v.asBoolean();
            continue;
        }
        if (v.isNull()) continue;
        field.present = true;
        if (!isLongValue(c.type)) {
            encodeValueInto(c, v, field.bytes);
            continue;
        }
        encodeValueInto(c, v, longData[i]);
        if (longData[i].size() <= f.longValueInlineMax) {
            field.bytes = inlineLongValue(longData[i]);
        } else {
            field.bytes.assign(12, 0);  // the reference, written below
            outOfRow.push_back(i);
        }
    }
    // A row that is too long moves its inline long values out, the longest first.
    if (encodedRowSize(f, def, fields) > f.maxRowSize) {
        std::vector<std::size_t> inlined;
        for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (isLongValue(def.columns[i].type) && fields[i].present &&
                std::find(outOfRow.begin(), outOfRow.end(), i) == outOfRow.end() &&
                !longData[i].empty())
                inlined.push_back(i);
        std::sort(inlined.begin(), inlined.end(), [&](std::size_t a, std::size_t b) {
            return longData[a].size() > longData[b].size();
        });
        for (std::size_t i : inlined) {
            if (encodedRowSize(f, def, fields) <= f.maxRowSize) break;
            fields[i].bytes.assign(12, 0);
            outOfRow.push_back(i);
        }
    }
    for (std::size_t i : outOfRow)
        fields[i].bytes = writeLongValue(pager, longHomes_.at(def.columns[i].number), longData[i]);

    std::vector<std::uint8_t>& row = row_;
    encodeRowInto(f, def, fields, row);
    const ByteReader reader(row, "new row");
    const RowView view(reader, f, def.varColumns > 0);
    const ValueDecoder decoder(pager, db_.codePage());
    indexes_->check(view, decoder);
    const RowId id = placeRow(pager, home_, row);
    indexes_->insert(view, decoder, id);
    updateDefinition(+1, autoNumber);
    return id;
}

db::Value TableStore::defaultValue(std::size_t i) const {
    if (i >= defaults_.size() || !defaults_[i]) return {};
    return evaluateDefault(*defaults_[i], def_->columns[i], name_);
}

void TableStore::remove(RowId id, const ByteReader& row) {
    Pager& pager = db_.pager();
    const TableDef& def = *def_;
    // The row's bytes may live on a page this statement changes: work from a copy.
    const std::vector<std::uint8_t> bytes(row.span().begin(), row.span().end());
    const ByteReader reader(bytes, "row");
    const RowView view(reader, pager.format(), def.varColumns > 0);
    const ValueDecoder decoder(pager, db_.codePage());
    indexes_->remove(view, decoder, id);
    for (const auto& c : def.columns) {
        if (!isLongValue(c.type) || view.isNull(c)) continue;
        bool present = false;
        const ByteSpan ref = view.varBytes(c, present);
        if (present) deleteLongValue(pager, ref);
    }
    deleteRowAt(pager, id);
    updateDefinition(-1, storedAutoNumber(pager, def));
}

void TableStore::updateDefinition(int rowDelta, std::uint32_t autoNumber) {
    Pager& pager = db_.pager();
    const Format& f = pager.format();
    // Two counters of a page that otherwise stays: only their bytes are kept for a rollback.
    const std::uint32_t rows =
        ByteReader(pager.page(def_->page)->span(), "table definition", def_->page)
            .u32(f.tdefRowCountOffset);
    pager.writeBytes(
        def_->page, f.tdefRowCountOffset,
        littleEndian32(rowDelta < 0 && rows == 0 ? 0
                                                 : static_cast<std::uint32_t>(rows + rowDelta)));
    pager.writeBytes(def_->page, f.tdefAutoNumberOffset, littleEndian32(autoNumber));
    db_.tableDefChanged(def_->page);
}

}  // namespace jet
