// Page reads, decoding and the least-recently-used cache.
#include "db/jet/pager.h"

#include <array>
#include <string>

#include "db/jet/crypto.h"
#include "db/jet/error.h"

namespace jet {

void Rc4PageCodec::decode(std::uint32_t pageNumber, std::span<std::uint8_t> page) const {
    const std::uint32_t k = key_ ^ pageNumber;
    const std::array<std::uint8_t, 4> key = {
        static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
        static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
    rc4(key, page);
}

Pager::Pager(std::unique_ptr<File> file, const Format& format, std::size_t cachePages)
    : file_(std::move(file)),
      format_(&format),
      pageCount_(0),
      capacity_(cachePages < 8 ? 8 : cachePages) {
    const std::uint64_t pages = file_->size() / format.pageSize;
    pageCount_ = pages > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(pages);
}

void Pager::setCodec(std::unique_ptr<PageCodec> codec) {
    codec_ = std::move(codec);
    cache_.clear();
    lru_.clear();
}

PageRef Pager::page(std::uint32_t number) {
    auto it = cache_.find(number);
    if (it != cache_.end()) {
        ++hits_;
        lru_.splice(lru_.begin(), lru_, it->second.pos);
        return it->second.page;
    }
    PageRef p = load(number);
    if (cache_.size() >= capacity_) {
        cache_.erase(lru_.back());
        lru_.pop_back();
    }
    lru_.push_front(number);
    cache_.emplace(number, Slot{p, lru_.begin()});
    return p;
}

PageRef Pager::load(std::uint32_t number) {
    if (number >= pageCount_)
        throwCorrupt("a reference to page " + std::to_string(number) + ", but the file has only " +
                     std::to_string(pageCount_) + " pages");
    auto p = std::make_shared<Page>();
    p->number = number;
    p->bytes.resize(format_->pageSize);
    ++reads_;
    file_->read(static_cast<std::uint64_t>(number) * format_->pageSize, p->bytes);
    if (number != 0 && codec_) codec_->decode(number, p->bytes);
    return p;
}

}  // namespace jet
