// Usage maps: which pages belong to a table (or to a long-value column, or an index).
//
// A usage map is a row on a data page, referred to by four bytes: the row number, then the
// three-byte page number. Its first byte says which kind it is:
//
//   inline map (type 0x00)              reference map (type 0x01)
//   offset  size  meaning               offset  size  meaning
//   0       1     0x00                  0       1     0x01
//   1       4     first page mapped     1       4×n   pages of type 0x05 holding bitmaps;
//   5       rest  bitmap: bit i of the                page j maps pages from
//                 map says whether                    j × (page size - 4) × 8 on, its bitmap
//                 page first + i is                   starting at offset 4; 0: no such page
//                 in use (low bit first)
//
// The engine handles the two kinds behind one interface. Writing will add and remove pages
// through the same interface.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/page/pager.h"

namespace jet {

class UsageMap {
  public:
    virtual ~UsageMap() = default;
    // The pages in the map, in ascending order.
    const std::vector<std::uint32_t>& pages() const { return pages_; }
    bool contains(std::uint32_t page) const;

    // Reads the map in row `row` of page `page`. Throws Corrupt for an unknown kind, a page
    // outside the file or a reference to a page that is not a usage-map page.
    static std::unique_ptr<UsageMap> read(Pager& pager, std::uint32_t page, std::uint8_t row);
    // Reads the map referred to by the four bytes at `reference` (row, then page).
    static std::unique_ptr<UsageMap> readReference(Pager& pager, std::uint32_t reference) {
        return read(pager, reference >> 8, static_cast<std::uint8_t>(reference & 0xFF));
    }

  protected:
    std::vector<std::uint32_t> pages_;
};

class InlineUsageMap : public UsageMap {
  public:
    InlineUsageMap(const ByteReader& row, std::uint32_t pageCount);
};

class ReferenceUsageMap : public UsageMap {
  public:
    ReferenceUsageMap(Pager& pager, const ByteReader& row);
};

}  // namespace jet
