// The on-disk layout of every Access file version, in one place.
//
// A Format holds the page size and every offset and size the codecs use. Jet 3 (Access 97) is
// the base; Jet 4 (Access 2000-2003) changes most sizes (4 KiB pages, UCS-2 text, two-byte row
// offsets); the ACE versions (Access 2007-2019) copy Jet 4 and add only what differs: complex
// columns (12), calculated columns and the new text sort order (14), Large Number (16) and
// Date/Time Extended (17). The codecs read these fields and never test a version number inline.
//
// Offsets are from the start of the structure named in each group: the header page, a data
// page, a table definition (after its pages are joined, see table_def.h), one column
// descriptor of a table definition, a row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace jet {

enum class Version { Jet3, Jet4, Ace12, Ace14, Ace16, Ace17 };

// How pages other than the header are encoded on disk.
enum class CodecKind {
    Jet,     // RC4 over each page, keyed by the header's encoding key and the page number
    Office,  // ACE: a non-zero encoding key means the whole file is encrypted with a password
};

struct Format {
    Version version;
    const char* name;          // "Jet 4 (Access 2000-2003)"
    std::uint8_t versionCode;  // the byte at header offset 0x14
    std::uint32_t pageSize;
    bool unicodeText;  // text is UCS-2 (with the compressed form); else single-byte
    bool readOnly;     // the engine never writes this version
    CodecKind codec;

    // ---- header page (page 0) ----
    std::size_t headerMaskOffset;   // start of the RC4-masked part of the header
    std::size_t headerMaskLength;   // its length
    std::size_t codePageOffset;     // u16 code page of single-byte text
    std::size_t encodingKeyOffset;  // u32, non-zero when pages are encoded
    std::size_t passwordOffset;     // the masked database password
    std::size_t passwordLength;     // in bytes
    int creationDateOffset;         // f64 creation date that masks the password further; -1 none
    std::size_t sortOrderOffset;    // text sort order (language id, then version in Jet 4+)
    std::size_t sortOrderLength;

    // ---- data pages (type 0x01) and long-value pages ----
    std::size_t dataFreeSpaceOffset;  // u16
    std::size_t dataOwnerOffset;      // u32 page of the owning table definition ("LVAL" on LVAL)
    std::size_t dataRowCountOffset;   // u16 number of row slots
    std::size_t dataRowTableOffset;   // u16 slots, one per row, from here
    std::size_t rowSlotSize;          // 2
    std::size_t maxRowSize;           // longest row a data page may hold
    std::size_t maxRowsPerDataPage;   // row numbers are one byte in row pointers

    // ---- table definitions (type 0x02) ----
    std::size_t tdefNextPageOffset;           // u32 next page of a definition that spans pages
    std::size_t tdefLengthOffset;             // u32 length of the definition data
    std::size_t tdefRowCountOffset;           // u32 rows in the table
    std::size_t tdefAutoNumberOffset;         // u32 last AutoNumber handed out
    int tdefComplexAutoNumberOffset;          // u32 last complex-value id; -1 none
    std::size_t tdefTableTypeOffset;          // u8 0x4e user, 0x53 system
    std::size_t tdefMaxColumnsOffset;         // u16 highest column count a row may carry
    std::size_t tdefVarColumnsOffset;         // u16 number of variable-length columns
    std::size_t tdefColumnCountOffset;        // u16 number of columns
    std::size_t tdefLogicalIndexCountOffset;  // u32 logical indexes
    std::size_t tdefIndexCountOffset;         // u32 physical indexes
    std::size_t tdefOwnedPagesOffset;         // u32 usage map of the table's data pages
    std::size_t tdefFreePagesOffset;          // u32 usage map of its pages with free space
    std::size_t tdefIndexBlockOffset;         // start of the per-index row counts
    std::size_t tdefIndexCountEntrySize;      // size of one of those entries
    std::size_t columnDescriptorSize;         // one column descriptor
    std::size_t indexColumnBlockSize;         // one physical index's columns and pages
    std::size_t indexColumnBlockSkip;         // unknown bytes before its columns
    std::size_t logicalIndexSize;             // one logical index
    std::size_t logicalIndexSkip;             // unknown bytes before its fields
    std::size_t nameLengthSize;               // length prefix of names (1 or 2 bytes)

    // ---- one column descriptor ----
    std::size_t colTypeOffset;         // u8 type code
    std::size_t colNumberOffset;       // u16 number, counting deleted columns
    std::size_t colVarIndexOffset;     // u16 position in a row's variable-offset table
    std::size_t colIndexOffset;        // u16 position among the live columns
    std::size_t colSortOrderOffset;    // u16 text sort order
    int colCodePageOffset;             // u16 code page of text; -1 none
    std::size_t colPrecisionOffset;    // u8 Decimal precision
    std::size_t colScaleOffset;        // u8 Decimal scale
    int colComplexIdOffset;            // u32 id in MSysComplexColumns; -1 none
    std::size_t colFlagsOffset;        // u8 flags
    int colExtFlagsOffset;             // u8 more flags (compressed text, calculated); -1 none
    std::size_t colFixedOffsetOffset;  // u16 offset of a fixed column in the fixed part of a row
    std::size_t colLengthOffset;       // u16 length in bytes

    // ---- rows ----
    std::size_t rowColumnCountSize;  // leading column count (1 or 2 bytes)
    std::size_t rowVarOffsetSize;    // entries of the variable-offset table (1 or 2 bytes)
    bool rowHasJumpTable;            // one-byte offsets need a jump table past 255

    // ---- long values ----
    std::size_t longValueDefSize;    // the in-row reference to a Memo or OLE value
    std::size_t longValueInlineMax;  // longest value kept inside the row when writing
    std::size_t longValueRowMax;     // longest row of a long-value page (one part of a value)

    // ---- usage maps ----
    std::size_t usageMapPageHeader;   // header of a usage-map page (type 0x05)
    std::size_t usageMapInlineBytes;  // bitmap bytes of an inline map written by Access

    // ---- index pages (types 0x03 and 0x04) ----
    std::size_t indexPrevPageOffset;
    std::size_t indexNextPageOffset;
    std::size_t indexTailPageOffset;
    std::size_t indexPrefixLengthOffset;
    std::size_t
        indexPrefixLengthSize;  // 1 (Jet 3) or 2; the byte after it is 1 on intermediate pages
    std::size_t indexEntryMaskOffset;
    std::size_t indexEntryMaskLength;
    std::size_t indexFirstEntryOffset;

    // ---- features ----
    bool complexColumns;                // attachment and multi-value columns
    bool calculatedColumns;             // columns whose value Access computes and stores
    bool largeNumber;                   // the 64-bit Large Number type
    bool extendedDate;                  // Date/Time Extended
    std::array<char, 4> propertyMagic;  // first bytes of a property blob ("MR2\0", "KKD\0")
    std::size_t maxColumns;

    // The format for the version byte at header offset 0x14, or nullptr when it is unknown.
    static const Format* forVersionCode(std::uint8_t code);
    static const Format& of(Version version);
};

// Page types, the first byte of every page.
namespace page_type {
inline constexpr std::uint8_t kHeader = 0x00;
inline constexpr std::uint8_t kData = 0x01;
inline constexpr std::uint8_t kTableDef = 0x02;
inline constexpr std::uint8_t kIndexNode = 0x03;
inline constexpr std::uint8_t kIndexLeaf = 0x04;
inline constexpr std::uint8_t kUsageMap = 0x05;
}  // namespace page_type

}  // namespace jet
