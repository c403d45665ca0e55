// A bounds-checked little-endian reader over a span of bytes.
//
// All decoding of file structures goes through ByteReader: every read names its offset and size
// and is checked against the end of the span before it happens, so a damaged length or offset
// turns into a Corrupt error that says what was being read and where, never into a read out of
// bounds. Multi-byte values are little-endian unless a function says otherwise. The reader does
// not own its bytes: the caller keeps them alive while the reader (or a span it returned) is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "db/jet/base/error.h"

namespace jet {

using ByteSpan = std::span<const std::uint8_t>;

class ByteReader {
  public:
    // `what` names the structure for error messages ("table definition", "data page"); it must
    // outlive the reader (a string literal). `page` and `base` place the span in the file:
    // offsets in messages are `base` + the offset inside the span.
    ByteReader(ByteSpan bytes, const char* what, std::uint32_t page = kNoPage, std::size_t base = 0)
        : bytes_(bytes), what_(what), page_(page), base_(base) {}

    std::size_t size() const { return bytes_.size(); }
    ByteSpan span() const { return bytes_; }
    std::uint32_t page() const { return page_; }
    const char* what() const { return what_; }

    // True when [offset, offset + length) lies inside the span.
    bool has(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    std::uint8_t u8(std::size_t offset) const {
        check(offset, 1);
        return bytes_[offset];
    }
    std::uint16_t u16(std::size_t offset) const {
        check(offset, 2);
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::int16_t i16(std::size_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
    std::uint32_t u24(std::size_t offset) const {
        check(offset, 3);
        return static_cast<std::uint32_t>(bytes_[offset]) |
               (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[offset + 2]) << 16);
    }
    std::uint32_t u32(std::size_t offset) const {
        check(offset, 4);
        return load32(bytes_.data() + offset);
    }
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::uint64_t u64(std::size_t offset) const {
        check(offset, 8);
        return static_cast<std::uint64_t>(load32(bytes_.data() + offset)) |
               (static_cast<std::uint64_t>(load32(bytes_.data() + offset + 4)) << 32);
    }
    std::int64_t i64(std::size_t offset) const { return static_cast<std::int64_t>(u64(offset)); }
    // Big-endian, as index entries store their pointers.
    std::uint32_t u24be(std::size_t offset) const {
        check(offset, 3);
        return (static_cast<std::uint32_t>(bytes_[offset]) << 16) |
               (static_cast<std::uint32_t>(bytes_[offset + 1]) << 8) | bytes_[offset + 2];
    }
    std::uint32_t u32be(std::size_t offset) const {
        check(offset, 4);
        return (static_cast<std::uint32_t>(bytes_[offset]) << 24) | u24be(offset + 1);
    }
    float f32(std::size_t offset) const {
        const std::uint32_t bits = u32(offset);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    double f64(std::size_t offset) const {
        const std::uint64_t bits = u64(offset);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    // The bytes [offset, offset + length).
    ByteSpan bytes(std::size_t offset, std::size_t length) const {
        check(offset, length);
        return bytes_.subspan(offset, length);
    }
    // A reader over [offset, offset + length), naming the same structure and page.
    ByteReader sub(std::size_t offset, std::size_t length) const {
        check(offset, length);
        return ByteReader(bytes_.subspan(offset, length), what_, page_, base_ + offset);
    }

    // Throws the Corrupt error "<what>: <problem>" at `offset` of this span.
    [[noreturn]] void fail(const char* problem, std::size_t offset) const;

  private:
    static std::uint32_t load32(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    void check(std::size_t offset, std::size_t length) const {
        if (!has(offset, length)) outOfBounds(offset, length);
    }
    [[noreturn]] void outOfBounds(std::size_t offset, std::size_t length) const;

    ByteSpan bytes_;
    const char* what_;
    std::uint32_t page_;
    std::size_t base_;
};

}  // namespace jet
