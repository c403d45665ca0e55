// Bounds-checked little-endian writing: the counterpart of ByteReader (byte_reader.h).
//
// ByteWriter writes at offsets into a span of bytes (a page, a row, a buffer), each write checked
// against the end of the span before it happens: an offset that came from a damaged file turns
// into a Corrupt error that says what was being written and where, never into a write out of
// bounds. ByteBuilder appends to a growing buffer (a row, a definition, a record) and hands out
// a ByteWriter over what it holds, for fields filled in once their value is known. Neither owns
// the bytes it writes: the caller keeps them alive while the writer is used.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "db/jet/base/byte_reader.h"

namespace jet {

// The four bytes of `v`, little-endian: a field to write somewhere as it is.
inline std::array<std::uint8_t, 4> littleEndian32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

class ByteWriter {
  public:
    // `what`, `page` and `base` as for ByteReader: they name the structure in messages.
    ByteWriter(std::span<std::uint8_t> bytes, const char* what, std::uint32_t page = kNoPage,
               std::size_t base = 0)
        : bytes_(bytes), what_(what), page_(page), base_(base) {}

    std::size_t size() const { return bytes_.size(); }
    std::span<std::uint8_t> span() const { return bytes_; }

    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    void u8(std::size_t offset, std::uint8_t v) {
        check(offset, 1);
        bytes_[offset] = v;
    }
    void u16(std::size_t offset, std::uint16_t v) { put(offset, v, 2); }
    void u24(std::size_t offset, std::uint32_t v) { put(offset, v, 3); }
    void u32(std::size_t offset, std::uint32_t v) { put(offset, v, 4); }
    void u64(std::size_t offset, std::uint64_t v) { put(offset, v, 8); }
    void f32(std::size_t offset, float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(offset, bits);
    }
    void f64(std::size_t offset, double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u64(offset, bits);
    }
    // Copies `source` to [offset, offset + source.size()).
    void bytes(std::size_t offset, ByteSpan source) {
        check(offset, source.size());
        if (!source.empty()) std::memmove(bytes_.data() + offset, source.data(), source.size());
    }
    // Sets [offset, offset + length) to `value`.
    void fill(std::size_t offset, std::size_t length, std::uint8_t value = 0) {
        check(offset, length);
        std::memset(bytes_.data() + offset, value, length);
    }
    // A writer over [offset, offset + length), naming the same structure and page.
    ByteWriter sub(std::size_t offset, std::size_t length) const {
        check(offset, length);
        return ByteWriter(bytes_.subspan(offset, length), what_, page_, base_ + offset);
    }
    // A reader over the same bytes.
    ByteReader reader() const { return ByteReader(bytes_, what_, page_, base_); }

  private:
    void put(std::size_t offset, std::uint64_t v, std::size_t length) {
        check(offset, length);
        for (std::size_t i = 0; i < length; ++i)
            bytes_[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void check(std::size_t offset, std::size_t length) const {
        if (!has(offset, length)) outOfBounds(offset, length);
    }
    [[noreturn]] void outOfBounds(std::size_t offset, std::size_t length) const;

    std::span<std::uint8_t> bytes_;
    const char* what_;
    std::uint32_t page_;
    std::size_t base_;
};

class ByteBuilder {
  public:
    // Appends to `out`, which must outlive the builder. `what` names it for ByteWriter.
    explicit ByteBuilder(std::vector<std::uint8_t>& out, const char* what = "buffer")
        : out_(out), what_(what) {}

    std::size_t size() const { return out_.size(); }

    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v) { put(v, 2); }
    void u24(std::uint32_t v) { put(v, 3); }
    void u32(std::uint32_t v) { put(v, 4); }
    void u64(std::uint64_t v) { put(v, 8); }
    // Big-endian, as index entries store their pointers.
    void u24be(std::uint32_t v) { putBigEndian(v, 3); }
    void u32be(std::uint32_t v) { putBigEndian(v, 4); }
    void f32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u32(bits);
    }
    void f64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        u64(bits);
    }
    void bytes(ByteSpan source) { out_.insert(out_.end(), source.begin(), source.end()); }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }

    // A writer over everything appended so far (valid until the next append).
    ByteWriter writer() { return ByteWriter(out_, what_); }

  private:
    void put(std::uint64_t v, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void putBigEndian(std::uint64_t v, std::size_t length) {
        for (std::size_t i = length; i-- > 0;)
            out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }

    std::vector<std::uint8_t>& out_;
    const char* what_;
};

}  // namespace jet
