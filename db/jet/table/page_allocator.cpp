// Taking pages from the free-page map, and giving them back.
#include "db/jet/table/page_allocator.h"

#include <algorithm>
#include <memory>
#include <string>

#include "db/jet/base/error.h"
#include "db/jet/table/free_pages.h"

namespace jet {

void FreePageAllocator::install(Pager& pager) {
    pager.setAllocator(std::make_unique<FreePageAllocator>(pager));
}

PageHandle FreePageAllocator::allocate(std::uint8_t type) {
    FreePageMap map(pager_);
    PageHandle p;
    // A page freed by this transaction is still reached by the file as other programs see it
    // until the commit: not used again before.
    const auto stillReached = [this](std::uint32_t n) { return pager_.freedSinceBegin(n); };
    if (const auto reused = map.takeLowest(stillReached)) {
        p = pager_.writablePage(*reused);
        std::fill(p->bytes.begin(), p->bytes.end(), 0);
    } else {
        p = pager_.appendPage();
        map.markUsed(p->number);
    }
    p->bytes[0] = type;
    p->bytes[1] = 0x01;
    return p;
}

void FreePageAllocator::release(std::uint32_t number) {
    if (number <= 2)
        throwCorrupt("an attempt to free page " + std::to_string(number) +
                     ", which the file itself needs");
    if (number >= pager_.pageCount())
        throwCorrupt("an attempt to free page " + std::to_string(number) +
                     ", but the file has only " + std::to_string(pager_.pageCount()) + " pages");
    FreePageMap(pager_).markFree(number);
}

bool FreePageAllocator::isFree(std::uint32_t number) {
    return FreePageMap(pager_).isFree(number);
}

}  // namespace jet
