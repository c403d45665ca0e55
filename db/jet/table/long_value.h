// Long values: the bytes of Memo and OLE Object values, which live outside the row.
//
// The row holds a 12-byte reference:
//
//   offset  size  meaning
//   0       4     the low 30 bits: length of the value in bytes; the top two bits: the kind,
//                 0x80000000 the value follows the reference inside the row,
//                 0x40000000 the value is one row of a long-value page,
//                 0 the value is a chain of rows on long-value pages
//   4       1     row number of the (first) long-value row
//   5       3     page of the (first) long-value row
//   8       4     unused
//   12      ...   kind 0x80: the value itself
//
// In a chain every long-value row starts with four bytes naming the next row (row number, then
// three-byte page; 0 at the end) and holds the next part of the value after them. A chain longer
// than the value, one that ends early, or one that visits a row twice is damaged.
#pragma once

#include <cstdint>
#include <vector>

#include "db/jet/base/byte_reader.h"
#include "db/jet/page/pager.h"

namespace jet {

// The first four bytes of a reference: the kind in the top two bits, the length below.
inline constexpr std::uint32_t kLongValueKindMask = 0xC0000000u;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueOnePage = 0x40000000u;
inline constexpr std::uint32_t kLongValueChain = 0;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;
// A reference without an inline value.
inline constexpr std::size_t kLongValueReferenceSize = 12;
// The next-row pointer at the start of each row of a chain.
inline constexpr std::size_t kLongValueLinkSize = 4;
// What long-value pages hold where a data page names its table: "LVAL".
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;

// Reads the value the reference `ref` points to. Throws Corrupt for an unknown kind, a
// reference that points outside the file or to a row that does not exist, a value shorter than
// its length says, or a chain that loops.
std::vector<std::uint8_t> readLongValue(Pager& pager, const ByteReader& ref);
// The same into `out` (its old contents replaced), which keeps its room from call to call.
void readLongValue(Pager& pager, const ByteReader& ref, std::vector<std::uint8_t>& out);

}  // namespace jet
