// The layouts of each version: Jet 3 spelled out, every later version as a copy of its
// predecessor with only what differs changed.
#include "db/jet/format/format.h"

namespace jet {

namespace {

Format makeJet3() {
    Format f{};
    f.version = Version::Jet3;
    f.name = "Jet 3 (Access 97)";
    f.versionCode = 0x00;
    f.pageSize = 2048;
    f.unicodeText = false;
    f.readOnly = true;
    f.codec = CodecKind::Jet;

    f.headerMaskOffset = 0x18;
    f.headerMaskLength = 126;
    f.codePageOffset = 0x3c;
    f.encodingKeyOffset = 0x3e;
    f.passwordOffset = 0x42;
    f.passwordLength = 20;
    f.creationDateOffset = -1;
    f.sortOrderOffset = 0x3a;
    f.sortOrderLength = 2;

    f.dataFreeSpaceOffset = 2;
    f.dataOwnerOffset = 4;
    f.dataRowCountOffset = 8;
    f.dataRowTableOffset = 10;
    f.rowSlotSize = 2;
    f.maxRowSize = 2012;
    f.maxRowsPerDataPage = 255;

    f.tdefNextPageOffset = 4;
    f.tdefLengthOffset = 8;
    f.tdefRowCountOffset = 12;
    f.tdefAutoNumberOffset = 16;
    f.tdefComplexAutoNumberOffset = -1;
    f.tdefTableTypeOffset = 20;
    f.tdefMaxColumnsOffset = 21;
    f.tdefVarColumnsOffset = 23;
    f.tdefColumnCountOffset = 25;
    f.tdefLogicalIndexCountOffset = 27;
    f.tdefIndexCountOffset = 31;
    f.tdefOwnedPagesOffset = 35;
    f.tdefFreePagesOffset = 39;
    f.tdefIndexBlockOffset = 43;
    f.tdefIndexCountEntrySize = 8;
    f.columnDescriptorSize = 18;
    f.indexColumnBlockSize = 39;
    f.indexColumnBlockSkip = 0;
    f.logicalIndexSize = 20;
    f.logicalIndexSkip = 0;
    f.nameLengthSize = 1;

    f.colTypeOffset = 0;
    f.colNumberOffset = 1;
    f.colVarIndexOffset = 3;
    f.colIndexOffset = 5;
    f.colSortOrderOffset = 9;
    f.colCodePageOffset = 11;
    f.colPrecisionOffset = 11;
    f.colScaleOffset = 12;
    f.colComplexIdOffset = -1;
    f.colFlagsOffset = 13;
    f.colExtFlagsOffset = -1;
    f.colFixedOffsetOffset = 14;
    f.colLengthOffset = 16;

    f.rowColumnCountSize = 1;
    f.rowVarOffsetSize = 1;
    f.rowHasJumpTable = true;

    f.longValueDefSize = 12;
    f.longValueInlineMax = 64;
    f.longValueRowMax = 2032;

    f.usageMapPageHeader = 4;
    f.usageMapInlineBytes = 128;

    f.indexPrevPageOffset = 8;
    f.indexNextPageOffset = 12;
    f.indexTailPageOffset = 16;
    f.indexPrefixLengthOffset = 20;
    f.indexPrefixLengthSize = 1;
    f.indexEntryMaskOffset = 22;
    f.indexEntryMaskLength = 226;
    f.indexFirstEntryOffset = 0xf8;

    f.complexColumns = false;
    f.calculatedColumns = false;
    f.largeNumber = false;
    f.extendedDate = false;
    f.propertyMagic = {'K', 'K', 'D', '\0'};
    f.maxColumns = 255;
    return f;
}

Format makeJet4() {
    Format f = makeJet3();
    f.version = Version::Jet4;
    f.name = "Jet 4 (Access 2000-2003)";
    f.versionCode = 0x01;
    f.pageSize = 4096;
    f.unicodeText = true;
    f.readOnly = false;

    f.headerMaskLength = 128;
    f.passwordLength = 40;
    f.creationDateOffset = 0x72;
    f.sortOrderOffset = 0x6e;
    f.sortOrderLength = 4;

    f.dataRowCountOffset = 12;
    f.dataRowTableOffset = 14;
    f.maxRowSize = 4060;
    f.longValueRowMax = 4076;

    f.tdefRowCountOffset = 16;
    f.tdefAutoNumberOffset = 20;
    f.tdefTableTypeOffset = 40;
    f.tdefMaxColumnsOffset = 41;
    f.tdefVarColumnsOffset = 43;
    f.tdefColumnCountOffset = 45;
    f.tdefLogicalIndexCountOffset = 47;
    f.tdefIndexCountOffset = 51;
    f.tdefOwnedPagesOffset = 55;
    f.tdefFreePagesOffset = 59;
    f.tdefIndexBlockOffset = 63;
    f.tdefIndexCountEntrySize = 12;
    f.columnDescriptorSize = 25;
    f.indexColumnBlockSize = 52;
    f.indexColumnBlockSkip = 4;
    f.logicalIndexSize = 28;
    f.logicalIndexSkip = 4;
    f.nameLengthSize = 2;

    f.colNumberOffset = 5;
    f.colVarIndexOffset = 7;
    f.colIndexOffset = 9;
    f.colSortOrderOffset = 11;
    f.colCodePageOffset = -1;
    f.colFlagsOffset = 15;
    f.colExtFlagsOffset = 16;
    f.colFixedOffsetOffset = 21;
    f.colLengthOffset = 23;

    f.rowColumnCountSize = 2;
    f.rowVarOffsetSize = 2;
    f.rowHasJumpTable = false;

    f.usageMapInlineBytes = 64;

    f.indexPrevPageOffset = 12;
    f.indexNextPageOffset = 16;
    f.indexTailPageOffset = 20;
    f.indexPrefixLengthOffset = 24;
    f.indexPrefixLengthSize = 2;
    f.indexEntryMaskOffset = 27;
    f.indexEntryMaskLength = 453;
    f.indexFirstEntryOffset = 0x1e0;

    f.propertyMagic = {'M', 'R', '2', '\0'};
    return f;
}

Format makeAce12() {
    Format f = makeJet4();
    f.version = Version::Ace12;
    f.name = "ACE 12 (Access 2007)";
    f.versionCode = 0x02;
    f.codec = CodecKind::Office;
    f.tdefComplexAutoNumberOffset = 28;
    f.colComplexIdOffset = 11;
    f.complexColumns = true;
    return f;
}

Format makeAce14() {
    Format f = makeAce12();
    f.version = Version::Ace14;
    f.name = "ACE 14 (Access 2010)";
    f.versionCode = 0x03;
    f.calculatedColumns = true;
    return f;
}

Format makeAce16() {
    Format f = makeAce14();
    f.version = Version::Ace16;
    f.name = "ACE 16 (Access 2016)";
    f.versionCode = 0x05;
    f.largeNumber = true;
    return f;
}

Format makeAce17() {
    Format f = makeAce16();
    f.version = Version::Ace17;
    f.name = "ACE 17 (Access 2019)";
    f.versionCode = 0x06;
    f.extendedDate = true;
    return f;
}

const Format kJet3 = makeJet3();
const Format kJet4 = makeJet4();
const Format kAce12 = makeAce12();
const Format kAce14 = makeAce14();
const Format kAce16 = makeAce16();
const Format kAce17 = makeAce17();

}  // namespace

const Format* Format::forVersionCode(std::uint8_t code) {
    for (const Format* f : {&kJet3, &kJet4, &kAce12, &kAce14, &kAce16, &kAce17})
        if (f->versionCode == code) return f;
    // Access 2013 files carry 0x04 and are laid out as those of Access 2010.
    if (code == 0x04) return &kAce14;
    return nullptr;
}

const Format& Format::of(Version version) {
    switch (version) {
        case Version::Jet3:
            return kJet3;
        case Version::Jet4:
            return kJet4;
        case Version::Ace12:
            return kAce12;
        case Version::Ace14:
            return kAce14;
        case Version::Ace16:
            return kAce16;
        case Version::Ace17:
            return kAce17;
    }
    return kJet4;
}

}  // namespace jet
