// Allocating and freeing pages: the file's free-page map (free_pages.h) behind the pager.
//
// A new page is the lowest page the free-page map lists as free (but not one the open
// transaction freed, which the file's old state still reaches: Pager::freedSinceBegin), else a page
// appended at the end of the file (which the map then lists as used). Freeing a page lists it free
// again; its bytes stay as they are (Access does the same). Pages 0, 1 and 2 (the header, the
// free-page map, the catalogue) are never handed out nor freed.
//
// The Database installs one into its pager (Pager::setAllocator), so pager.allocatePage(),
// freePage() and isFree() come here. REQUIRES of allocate() and release(): a transaction is open.
#pragma once

#include <cstdint>

#include "db/jet/page/pager.h"

namespace jet {

class FreePageAllocator : public PageAllocator {
  public:
    explicit FreePageAllocator(Pager& pager) : pager_(pager) {}

    // Installs a FreePageAllocator as the allocator of `pager`. REQUIRES: no transaction open.
    static void install(Pager& pager);

    // A zero-filled page of page type `type`, with the constant 0x01 after it. Throws
    // NotSupported when the file would pass the largest size Access allows (2 GiB).
    PageHandle allocate(std::uint8_t type) override;
    // Throws Corrupt for page 0, 1 or 2 or a page the file does not have.
    void release(std::uint32_t number) override;
    bool isFree(std::uint32_t number) override;

  private:
    Pager& pager_;
};

}  // namespace jet
