// The file's own free-page map: row 0 of page 1, a usage map whose set bits are free pages.
//
// Access keeps it as an inline map starting at page 0 (64 bytes in Jet 4 and ACE files, 128 in
// Jet 3, grown by Access as the file grows), with every page past the end of the file marked
// free. Pages the map does not cover count as used: the engine never hands out a page it cannot
// prove free. When the file outgrows what an inline map on page 1 can hold, the map becomes a
// reference map (usage_map.h) whose bitmap pages (type 0x05) cover fixed ranges of pages from
// page 0 on; a range without its bitmap page holds no page of the file yet.
//
// A FreePageMap is a short-lived view used by the pager inside a transaction; every change goes
// through the pager's writable pages.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace jet {

class Pager;

inline constexpr std::uint32_t kFreePageMapPage = 1;
inline constexpr std::uint16_t kFreePageMapRow = 0;

class FreePageMap {
  public:
    explicit FreePageMap(Pager& pager) : pager_(pager) {}

    // True when the map lists `page` as free. Pages past the end of the file are not free.
    bool isFree(std::uint32_t page);
    // The lowest free page of the file (never 0, 1 or 2) for which `skip` (when given) is
    // false, now marked used; nothing when none. REQUIRES: a transaction is open.
    std::optional<std::uint32_t> takeLowest(const std::function<bool(std::uint32_t)>& skip = {});
    // Marks `page` used, growing the map when it does not reach the page yet (used for pages
    // appended to the file). REQUIRES: a transaction is open, page < the page count.
    void markUsed(std::uint32_t page);
    // Marks `page` free. A page the map cannot cover stays used. REQUIRES: a transaction.
    void markFree(std::uint32_t page);

    // Every page of the file the map lists as free, in order (for the integrity check).
    std::vector<std::uint32_t> freePages();
    // The bitmap pages of a reference map (none for an inline map).
    std::vector<std::uint32_t> bitmapPages();

  private:
    void set(std::uint32_t page, bool free);
    void setInline(std::uint32_t page, bool free);
    void setReference(std::uint32_t page, bool free);
    void growInline(std::uint32_t page);
    void convertToReference();
    std::uint32_t newBitmapPage(std::uint32_t rangeIndex);

    Pager& pager_;
};

}  // namespace jet
