// Changing usage maps (the layout is in usage_map.h): adding and removing pages, in place.
//
// An inline map covers the pages from its first page on, one bit each, as far as its bitmap
// reaches (512 pages in a Jet 4 map of 64 bytes). A page outside that window moves the window
// when every page of the map and the new one fit into it (the first page becomes the lowest of
// them, rounded down to a multiple of 8); otherwise the map becomes a reference map of the same
// size, whose entries name usage-map pages (type 0x05) that each cover a fixed stretch of the
// file. Usage-map pages are allocated when a page of their stretch is first added. The row of
// the map never changes its size, so nothing else on its page moves.
//
// REQUIRES of every function: a transaction is open on the pager (pager.h). A map reference is
// the four bytes a table definition holds: the row number in the low byte, the page above.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/page/pager.h"

namespace jet {

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
