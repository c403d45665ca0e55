// Adding indexes to the stored definition of a table.
#include "db/jet/write/table_def_editor.h"

#include <algorithm>
#include <stdexcept>

#include "db/jet/base/byte_reader.h"
#include "db/jet/base/byte_writer.h"
#include "db/jet/base/error.h"
#include "db/jet/format/text_codec.h"
#include "db/jet/write/table_def_writer.h"

namespace jet {

namespace {

constexpr std::size_t kContinuationHeader = 8;
constexpr std::uint32_t kDefinitionMarker = 0x0659;  // before each logical index
constexpr std::uint32_t kIndexMarker = 0x0783;       // before each physical index's columns
constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::uint8_t kAscending = 0x01;
constexpr std::uint8_t kNoForeignKeyFlags = 0x04;  // what Access writes where a key has no rules
constexpr std::size_t kKeyCountOffset = 4;         // in an entry of the index counts

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

}  // namespace

TableDefEditor::TableDefEditor(Pager& pager, const TableDef& def)
    : pager_(pager), pages_(def.pages) {
    const Format& f = pager.format();
    if (!f.unicodeText || f.logicalIndexSkip != 4 || f.indexColumnBlockSkip != 4)
        throw Error(ErrorKind::NotSupported, "The Access engine does not change the tables of " +
                                                 std::string(f.name) + " files.");
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        const PageRef p = pager.page(pages_[i]);
        if (i == 0)
            bytes_.assign(p->bytes.begin(), p->bytes.end());
        else
            bytes_.insert(bytes_.end(), p->bytes.begin() + kContinuationHeader, p->bytes.end());
    }
    const std::uint32_t length = get32(f.tdefLengthOffset);
    if (length < f.tdefIndexBlockOffset || length > bytes_.size())
        throwCorrupt("the length of a table definition does not fit its pages", def.page);
    bytes_.resize(length);
    physicalCount_ = get32(f.tdefIndexCountOffset);
    logicalCount_ = get32(f.tdefLogicalIndexCountOffset);
    columnCount_ = ByteReader(bytes_, "table definition", def.page).u16(f.tdefColumnCountOffset);
    const Layout l = layout();
    for (std::uint32_t i = 0; i < logicalCount_; ++i)
        nextNumber_ = std::max(nextNumber_, get32(l.logical + i * f.logicalIndexSize + 4) + 1);
}

std::uint32_t TableDefEditor::get32(std::size_t at) const {
    return ByteReader(bytes_, "table definition", pages_[0]).u32(at);
}

void TableDefEditor::put32(std::size_t at, std::uint32_t v) {
    ByteWriter(bytes_, "table definition", pages_[0]).u32(at, v);
}

void TableDefEditor::insert(std::size_t at, const std::vector<std::uint8_t>& bytes) {
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
}

std::string TableDefEditor::nameAt(std::size_t pos) const {
    const ByteReader r(bytes_, "table definition", pages_[0]);
    std::string s;
    appendUtf16le(s, r.bytes(pos + 2, r.u16(pos)));
    return s;
}

TableDefEditor::Layout TableDefEditor::layout() const {
    const Format& f = pager_.format();
    Layout l;
    auto need = [&](std::size_t end) {
        if (end > bytes_.size())
            throwCorrupt("the counts of a table definition do not fit its length", pages_[0]);
    };
    l.counts = f.tdefIndexBlockOffset;
    l.columns = l.counts + std::size_t{physicalCount_} * f.tdefIndexCountEntrySize;
    std::size_t pos = l.columns + std::size_t{columnCount_} * f.columnDescriptorSize;
    need(pos);
    for (std::uint16_t i = 0; i < columnCount_; ++i) {
        need(pos + 2);
        pos += 2 + std::size_t{ByteReader(bytes_, "table definition", pages_[0]).u16(pos)};
        need(pos);
    }
    l.physical = pos;
    l.logical = l.physical + std::size_t{physicalCount_} * f.indexColumnBlockSize;
    l.logicalNames = l.logical + std::size_t{logicalCount_} * f.logicalIndexSize;
    pos = l.logicalNames;
    need(pos);
    for (std::uint32_t i = 0; i < logicalCount_; ++i) {
        need(pos + 2);
        l.nameStarts.push_back(pos);
        pos += 2 + std::size_t{ByteReader(bytes_, "table definition", pages_[0]).u16(pos)};
        need(pos);
    }
    l.nameStarts.push_back(pos);
    return l;
}

std::uint32_t TableDefEditor::addPhysicalIndex(const PhysicalIndexPlan& plan) {
    const Format& f = pager_.format();
    if (plan.columns.empty() || plan.columns.size() > kIndexColumnSlots)
        throw std::logic_error("an index has 1 to 10 columns");
    const Layout l = layout();

    std::vector<std::uint8_t> block(f.indexColumnBlockSize, 0);
    ByteWriter b(block, "index block");
    b.u32(0, kIndexMarker);
    std::size_t p = f.indexColumnBlockSkip;
    for (std::size_t k = 0; k < kIndexColumnSlots; ++k, p += 3) {
        if (k < plan.columns.size()) {
            b.u16(p, plan.columns[k].columnNumber);
            b.u8(p + 2, plan.columns[k].ascending ? kAscending : 0);
        } else {
            b.u16(p, kNoColumn);
        }
    }
    b.u32(p, plan.usageMapRef);
    b.u32(p + 4, plan.rootPage);
    b.u8(p + 8 + f.indexColumnBlockSkip, plan.flags);
    // The physical block goes first: it lies after the counts, which would move it.
    insert(l.physical + std::size_t{physicalCount_} * f.indexColumnBlockSize, block);

    std::vector<std::uint8_t> count(f.tdefIndexCountEntrySize, 0);
    ByteWriter(count, "index count").u32(kKeyCountOffset, plan.keyCount);
    insert(l.counts + std::size_t{physicalCount_} * f.tdefIndexCountEntrySize, count);

    put32(f.tdefIndexCountOffset, ++physicalCount_);
    return physicalCount_ - 1;
}

void TableDefEditor::addLogicalIndex(const LogicalIndexPlan& plan) {
    const Format& f = pager_.format();
    const Layout l = layout();
    // Its place among the others, by name.
    const std::string key = lowerAscii(plan.name);
    std::uint32_t at = 0;
    while (at < logicalCount_ && lowerAscii(nameAt(l.nameStarts[at])) <= key)
        ++at;

    std::vector<std::uint8_t> name;
    const std::vector<std::uint8_t> encoded = encodeUtf16le(plan.name);
    ByteBuilder n(name, "index name");
    n.u16(static_cast<std::uint16_t>(encoded.size()));
    n.bytes(encoded);
    insert(l.nameStarts[at], name);

    std::vector<std::uint8_t> entry(f.logicalIndexSize, 0);
    ByteWriter e(entry, "logical index");
    e.u32(0, kDefinitionMarker);
    const std::size_t p = f.logicalIndexSkip;
    e.u32(p, plan.number);
    e.u32(p + 4, plan.physicalIndex);
    const bool foreign = plan.kind == logical_index_kind::kForeignKey;
    e.u8(p + 8, foreign ? plan.relatedTableKind : 0);
    e.u32(p + 9, static_cast<std::uint32_t>(foreign ? plan.relatedIndex : -1));
    e.u32(p + 13, foreign ? plan.relatedTablePage : 0);
    e.u8(p + 17, foreign ? plan.cascadeUpdates : kNoForeignKeyFlags);
    e.u8(p + 18, foreign ? plan.cascadeDeletes : kNoForeignKeyFlags);
    e.u8(p + 19, plan.kind);
    insert(l.logical + std::size_t{at} * f.logicalIndexSize, entry);

    put32(f.tdefLogicalIndexCountOffset, ++logicalCount_);
    nextNumber_ = std::max(nextNumber_, plan.number + 1);
}

void TableDefEditor::write() {
    const Format& f = pager_.format();
    put32(f.tdefLengthOffset, static_cast<std::uint32_t>(bytes_.size()));
    const std::size_t needed = tableDefPageCount(f, bytes_.size());
    while (pages_.size() < needed)
        pages_.push_back(pager_.allocatePage(page_type::kTableDef)->number);
    while (pages_.size() > needed) {
        pager_.freePage(pages_.back());
        pages_.pop_back();
    }
    const auto images = paginateTableDef(f, bytes_, pages_);
    for (std::size_t i = 0; i < pages_.size(); ++i)
        pager_.writablePage(pages_[i])->bytes = images[i];
}

void setLastAutoNumber(Pager& pager, std::uint32_t tdefPage, std::uint32_t value) {
    const Format& f = pager.format();
    PageHandle p = pager.writablePage(tdefPage);
    ByteWriter(p->mutableSpan(), "table definition", tdefPage).u32(f.tdefAutoNumberOffset, value);
}

}  // namespace jet
