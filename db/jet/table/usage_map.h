// Usage maps: which pages belong to a table (or to a long-value column, or an index), and which
// pages of the file are free.
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
// UsageMapRow is the one place that knows this layout: UsageMap reads a map into its list of
// pages, the functions below change the maps of tables, indexes and long-value columns, and
// the file's free-page map (free_pages.h) is a usage map too, changed by its own rules.
//
// Changing a map, in place: an inline map covers the pages from its first page on, one bit
// each, as far as its bitmap reaches (512 pages in a Jet 4 map of 64 bytes). A page outside that
// window moves the window when every page of the map and the new one fit into it (the first page
// becomes the lowest of them, rounded down to a multiple of 8); otherwise the map becomes a
// reference map of the same size, whose entries name usage-map pages (type 0x05) that each
// cover a fixed stretch of the file. Usage-map pages are allocated when a page of their stretch
// is first added. The row of the map never changes its size, so nothing else on its page moves.
// REQUIRES of every changing function: a transaction is open on the pager (pager.h).
//
// Only the slots of a reference map whose stretch starts inside the file mean anything. Access
// leaves whatever bytes were there in the others (a map that outgrew its inline form keeps the
// old bitmap's bytes in its row, so a slot past the end may read 0xFFFFFF80): they are read as
// naming no page, and a writer that grows the file into such a stretch puts a page of its own in.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/base/byte_writer.h"
#include "db/jet/page/pager.h"

namespace jet {

inline constexpr std::uint8_t kInlineUsageMap = 0x00;
inline constexpr std::uint8_t kReferenceUsageMap = 0x01;
// The bytes before the bitmap of an inline map: its kind and its first page.
inline constexpr std::size_t kInlineUsageMapHeader = 5;

// The row of one usage map on its page, read or changed in place.
class UsageMapRow {
  public:
    // What a map is called in the errors of a damaged file, and what a sound row needs.
    struct Kind {
        const char* what;           // the structure, for ByteReader ("usage map")
        const char* notOnData;      // the page is not a data page
        const char* noSuchRow;      // the page has no such row
        const char* emptyRow;       // the row is deleted or shorter than `minimumSize`
        const char* unknownKind;    // the first byte is neither kind
        const char* shortInline;    // an inline map without its first page
        const char* notBitmapPage;  // a reference names a page that is not a usage-map page
        std::size_t minimumSize;    // 0: a deleted or empty row is not refused here
    };
    // The maps of tables, indexes and long-value columns.
    static const Kind kTableMap;

    // Row `row` of page `page`, read-only. Throws Corrupt as `kind` says (the header page is
    // never a map).
    static UsageMapRow read(Pager& pager, std::uint32_t page, std::uint16_t row,
                            const Kind& kind = kTableMap);
    // The same row in the page's live copy, to change it. REQUIRES: a transaction is open.
    static UsageMapRow write(Pager& pager, std::uint32_t page, std::uint16_t row,
                             const Kind& kind = kTableMap);

    std::uint32_t page() const { return page_; }
    std::size_t size() const { return row_.size(); }
    ByteSpan bytes() const { return row_.span(); }
    bool isInline() const { return row_.u8(0) == kInlineUsageMap; }

    // ---- inline maps ----
    std::uint32_t firstPage() const { return row_.u32(1); }
    // How many pages the bitmap covers from the first page on.
    std::uint64_t windowPages() const { return std::uint64_t{size() - kInlineUsageMapHeader} * 8; }
    bool inWindow(std::uint64_t page) const {
        return page >= firstPage() && page - firstPage() < windowPages();
    }
    // Whether `page` is set. REQUIRES: inWindow(page).
    bool test(std::uint64_t page) const;
    // Sets or clears `page`. REQUIRES: inWindow(page), a writable row.
    void set(std::uint64_t page, bool on);
    // Calls visit(page) for every page set, in order.
    template <typename Visit>
    void forEachInlinePage(Visit&& visit) const;
    // Empties the map and moves its window to start at `first`. REQUIRES: a writable row.
    void restartWindow(std::uint32_t first);

    // ---- reference maps ----
    // How many usage-map pages the row can name.
    std::size_t slots() const { return (size() - 1) / 4; }
    // The usage-map page of slot `j` (0: none). A slot whose stretch starts past the end of the
    // file names none, whatever its bytes; nor does one whose stretch lay past the end when the
    // open transaction began, unless it names a page the transaction made. REQUIRES: j < slots().
    std::uint32_t bitmapPage(std::size_t j) const;
    void setBitmapPage(std::size_t j, std::uint32_t page) { writer().u32(1 + 4 * j, page); }
    // Pages covered by one usage-map page.
    static std::uint32_t pagesPerBitmapPage(const Format& format) {
        return (format.pageSize - static_cast<std::uint32_t>(format.usageMapPageHeader)) * 8;
    }
    // True when slot `j` of a reference map covers pages of a file of `pageCount` pages.
    static bool slotInFile(const Format& format, std::size_t j, std::uint64_t pageCount) {
        return std::uint64_t{j} * pagesPerBitmapPage(format) < pageCount;
    }
    // Makes the row an empty map of `kind`, keeping its size. REQUIRES: a writable row.
    void reset(std::uint8_t kind);

    // The bitmap of usage-map page `number` (after its header), read-only or to change. Throws
    // Corrupt (this map's notBitmapPage) when the page is not a usage-map page.
    ByteSpan readBitmap(Pager& pager, std::uint32_t number, PageRef& keep) const;
    std::span<std::uint8_t> writeBitmap(Pager& pager, std::uint32_t number, PageHandle& keep) const;

  private:
    UsageMapRow(const Kind& kind, const Pager& pager, std::uint32_t page, PageRef keep,
                ByteReader row, std::optional<ByteWriter> writer)
        : kind_(&kind),
          pager_(&pager),
          page_(page),
          keep_(std::move(keep)),
          row_(row),
          writer_(writer) {}
    static UsageMapRow locate(Pager& pager, std::uint32_t page, std::uint16_t row, const Kind& kind,
                              bool writable);
    ByteWriter& writer();

    const Kind* kind_;
    const Pager* pager_;
    std::uint32_t page_;
    PageRef keep_;  // the page the row lies on, kept alive
    ByteReader row_;
    std::optional<ByteWriter> writer_;
};

// Bits of a usage-map bitmap, low bit first.
inline bool testUsageBit(ByteSpan bitmap, std::uint64_t i) {
    return (bitmap[i / 8] >> (i % 8)) & 1u;
}
inline void setUsageBit(std::span<std::uint8_t> bitmap, std::uint64_t i, bool on) {
    const auto mask = static_cast<std::uint8_t>(1u << (i % 8));
    if (on)
        bitmap[i / 8] |= mask;
    else
        bitmap[i / 8] &= static_cast<std::uint8_t>(~mask);
}
// Calls visit(first + i) for every bit i set in `bitmap`, in order, while it returns true.
template <typename Visit>
void forEachUsageBit(ByteSpan bitmap, std::uint64_t first, Visit&& visit) {
    for (std::size_t i = 0; i < bitmap.size(); ++i) {
        const std::uint8_t b = bitmap[i];
        if (b == 0) continue;
        for (unsigned bit = 0; bit < 8; ++bit)
            if ((b >> bit) & 1u)
                if (!visit(first + i * 8 + bit)) return;
    }
}

template <typename Visit>
void UsageMapRow::forEachInlinePage(Visit&& visit) const {
    forEachUsageBit(row_.bytes(kInlineUsageMapHeader, size() - kInlineUsageMapHeader), firstPage(),
                    [&](std::uint64_t page) {
                        visit(page);
                        return true;
                    });
}

// The pages of one map, read once.
class UsageMap {
  public:
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

  private:
    std::vector<std::uint32_t> pages_;
};

// ---- changing the maps of tables, indexes and long-value columns ----
// A map reference is the four bytes a table definition holds: the row number in the low byte,
// the page above.

// Adds `page` to the map at `reference` (nothing happens when it is there already). Throws
// Corrupt when the reference does not lead to a usage map, NotSupported when the map cannot
// reach the page.
void addToUsageMap(Pager& pager, std::uint32_t reference, std::uint32_t page);

// Removes `page` from the map (nothing happens when it is not there). Throws Corrupt like
// addToUsageMap.
void removeFromUsageMap(Pager& pager, std::uint32_t reference, std::uint32_t page);

// Empties the map: every bit cleared, the usage-map pages of a reference map kept but cleared.
void clearUsageMap(Pager& pager, std::uint32_t reference);

// The usage-map pages (type 0x05) a reference map uses; none for an inline map. For freeing
// them with the map's table.
std::vector<std::uint32_t> usageMapPages(Pager& pager, std::uint32_t reference);

// The row of a new, empty inline map for the format, whose window starts at `firstPage`.
std::vector<std::uint8_t> emptyInlineMap(const Format& format, std::uint32_t firstPage);

}  // namespace jet
