// The table scan.
#include "db/jet/table/table_scan.h"

#include "db/jet/base/error.h"
#include "db/jet/table/data_page.h"
#include "db/jet/table/usage_map.h"

namespace jet {

namespace {
// Access moves a row at most a few times; a longer chain of overflow pointers is a loop.
constexpr int kMaxOverflowHops = 16;
}  // namespace

TableScan::TableScan(Pager& pager, const TableDef& table, bool ownPagesOnly)
    : pager_(pager), table_(table), ownPagesOnly_(ownPagesOnly) {
    pages_ = UsageMap::readReference(pager, table.ownedPagesRef)->pages();
}

bool TableScan::holdsRows(const DataPage& dp, std::uint32_t number) const {
    if (dp.type() != page_type::kData)
        throwCorrupt(
            "the usage map of a table lists a page that is not a data page; rows were "
            "lost",
            number, 0);
    if (dp.owner() == table_.page) return true;
    if (ownPagesOnly_)
        throwCorrupt("the usage map of the catalogue lists a data page of another table", number,
                     0);
    return false;
}

bool TableScan::loadPage(std::size_t index) {
    page_ = pager_.page(pages_[index]);
    pageReader_.emplace(page_->span(), "data page", pages_[index]);
    const DataPage dp(*pageReader_, pager_.format());
    if (!holdsRows(dp, pages_[index])) {
        rowsOnPage_ = 0;
        return false;
    }
    rowsOnPage_ = dp.rowCount();
    nextRow_ = 0;
    return true;
}

bool TableScan::next() {
    row_.reset();
    if (!started_) {
        started_ = true;
        pageIndex_ = 0;
        if (!pages_.empty()) loadPage(0);
    }
    while (pageIndex_ < pages_.size()) {
        if (nextRow_ >= rowsOnPage_) {
            if (++pageIndex_ >= pages_.size()) break;
            loadPage(pageIndex_);
            continue;
        }
        const DataPage dp(*pageReader_, pager_.format());
        const std::uint16_t r = nextRow_++;
        const RowSlot slot = dp.slot(r);
        if (slot.deleted) continue;
        ByteReader bytes = pageReader_->sub(slot.start, slot.end - slot.start);
        if (slot.overflow) {
            row_.emplace(followOverflow(bytes));
        } else {
            row_.emplace(bytes);
        }
        return true;
    }
    page_.reset();
    overflowPage_.reset();
    return false;
}

ByteReader TableScan::followOverflow(const ByteReader& pointer) {
    ByteReader current = pointer;
    for (int hop = 0; hop < kMaxOverflowHops; ++hop) {
        const std::uint32_t location = current.u32(0);
        const std::uint32_t pageNumber = location >> 8;
        const auto rowNumber = static_cast<std::uint16_t>(location & 0xFF);
        if (pageNumber == 0) current.fail("an overflow row points to the header page", 0);
        overflowPage_ = pager_.page(pageNumber);
        overflowReader_.emplace(overflowPage_->span(), "overflow data page", pageNumber);
        const DataPage dp(*overflowReader_, pager_.format());
        if (dp.type() != page_type::kData || dp.owner() != table_.page)
            overflowReader_->fail("an overflow row points to a page of another table", 0);
        if (rowNumber >= dp.rowCount())
            overflowReader_->fail("an overflow row points to a row the page does not have", 0);
        RowSlot slot = dp.slot(rowNumber);
        // The target is marked deleted in its own slot; only its bounds matter here.
        if (slot.end > overflowReader_->size() || slot.start > slot.end)
            overflowReader_->fail("an overflow row points outside the page", 0);
        ByteReader target = overflowReader_->sub(slot.start, slot.end - slot.start);
        if (!slot.overflow) return target;
        current = target;
    }
    pointer.fail("overflow rows point to each other in a loop", 0);
}

std::uint64_t TableScan::countRows(std::uint64_t limit) {
    std::uint64_t count = 0;
    for (std::uint32_t number : pages_) {
        if (count >= limit) return limit;
        const PageRef p = pager_.page(number);
        const ByteReader r(p->span(), "data page", number);
        const DataPage dp(r, pager_.format());
        if (!holdsRows(dp, number)) continue;
        for (std::uint16_t i = 0; i < dp.rowCount(); ++i)
            if (!dp.slot(i).deleted) ++count;
    }
    return count < limit ? count : limit;
}

}  // namespace jet
