#!/usr/bin/env python3
"""Writes db/jet/index/text_collation_codes.cpp, the character codes of the two text sort orders.

    scripts/sort_codes.py DIR [OUTPUT]

DIR holds the index code tables published with the Jackcess library (Apache License 2.0), which
record the bytes Access writes into text index keys for every character of the Basic
Multilingual Plane:

    index_codes_genleg.txt, index_codes_ext_genleg.txt   General Legacy
    index_codes_gen.txt,    index_codes_ext_gen.txt      General

The first file of each pair has one line for each of U+0000 to U+00FF, the second one for each
of U+0100 to U+FFFF except the surrogates. A line is a letter and comma-separated hexadecimal
fields (an odd number of digits lost a leading zero):

    S<code>                  inline code only
    I<code>,<extra>          inline code and extra code
    U<code>                  a code among the unprintable characters
    P<byte>                  no code; the byte is added to the extra code before it
    Z<code>,<extra>,<small>  kana: inline code, extra code (may be empty), and 1 for a small
                             kana
    X                        the character leaves nothing in the key

The build does not run this script: its output is committed, and running it again on the same
tables writes the same file. The tables stand between clang-format off and on.

Rules:
  - U+0000 keeps no code: a NUL in text is refused rather than dropped from the key.
  - An inline code holding a byte below 0x02 (the key's own separators) is not trusted: those
    few characters keep no code.
  - Surrogates: General keeps only the halves Access itself keyed in the fixtures (U+1F600 to
    U+1F64F); General Legacy none.
"""

import os
import sys

KINDS = {
    "none": 0,
    "ignored": 1,
    "inline": 2,
    "unprintable": 3,
    "modifier": 4,
    "kana": 5,
    "small_kana": 6,
}


def hex_bytes(text):
    if text == "":
        return b""
    if len(text) % 2:
        text = "0" + text
    return bytes.fromhex(text)


def parse(first_path, ext_path):
    """Code point -> (kind, code bytes, extra bytes)."""
    with open(first_path, encoding="ascii") as f:
        first = f.read().split("\n")
    with open(ext_path, encoding="ascii") as f:
        ext = f.read().split("\n")
    if len(first) < 256:
        sys.exit(f"{first_path}: fewer than 256 lines")
    lines = first[:256] + ext
    units = [u for u in range(0x10000) if not 0xD800 <= u < 0xE000]
    if len(lines) < len(units):
        sys.exit(f"{ext_path}: fewer lines than characters")
    codes = {}
    for unit, line in zip(units, lines):
        letter, fields = line[:1], line[1:].split(",")
        if letter == "S" and len(fields) == 1:
            codes[unit] = ("inline", hex_bytes(fields[0]), b"")
        elif letter == "I" and len(fields) == 2:
            codes[unit] = ("inline", hex_bytes(fields[0]), hex_bytes(fields[1]))
        elif letter == "U" and len(fields) == 1:
            codes[unit] = ("unprintable", hex_bytes(fields[0]), b"")
        elif letter == "P" and len(fields) == 1:
            codes[unit] = ("modifier", b"", hex_bytes(fields[0]))
        elif letter == "Z" and len(fields) == 3:
            kind = "small_kana" if fields[2] == "1" else "kana"
            codes[unit] = (kind, hex_bytes(fields[0]), hex_bytes(fields[1]))
        elif letter == "X":
            codes[unit] = ("ignored", b"", b"")
        else:
            sys.exit(f"U+{unit:04X}: line not understood: {line!r}")
        kind, code, extra = codes[unit]
        if len(code) > 8 or len(extra) > 3 or (kind == "modifier" and len(extra) != 1):
            sys.exit(f"U+{unit:04X}: codes longer than the table can hold: {line!r}")
    return codes


def apply_rules(codes, general):
    del codes[0x0000]
    for unit in [u for u, (_, code, _) in codes.items() if code and min(code) < 0x02]:
        del codes[unit]
    if general:
        # The keys Access wrote for the characters U+1F600 to U+1F64F (testEmoticonsV2010):
        # the high half D83D, and the low halves DE00 to DE4F numbered on from B6FC, skipping
        # the low bytes 00 and 01.
        codes[0xD83D] = ("inline", bytes([0xB0, 0x3F]), bytes([0x3F]))
        value = 0xB6FC
        for unit in range(0xDE00, 0xDE50):
            codes[unit] = ("inline", value.to_bytes(2, "big"), bytes([0x3F]))
            value += 1
            if value & 0xFF == 0:
                value += 2
    return codes


def next_code(code):
    """The code one step on within a run (the last byte plus one), or None."""
    if not code or code[-1] == 0xFF:
        return None
    return code[:-1] + bytes([code[-1] + 1])


def runs_of(codes):
    """Runs of consecutive characters: the same kind and extra code, each code one step on."""
    runs = []
    previous = None
    for unit in range(0x10000):
        entry = codes.get(unit, ("none", b"", b""))
        kind, code, extra = entry
        if previous is not None:
            pkind, pcode, pextra = previous
            same = kind == pkind and extra == pextra
            if same and (code == next_code(pcode) or (not code and not pcode)):
                previous = entry
                continue
        runs.append((unit, kind, code, extra))
        previous = entry
    return runs


def pool_of(runs):
    """The byte pool and, for each run, where its code and extra code start."""
    pool = bytearray()
    where = {}
    offsets = []
    for _, _, code, extra in runs:
        data = code + extra
        if not data:
            offsets.append(0)
            continue
        if data not in where:
            found = pool.find(data)
            if found < 0:
                found = len(pool)
                pool += data
            where[data] = found
        offsets.append(where[data])
    if len(pool) > 0xFFFF:
        sys.exit("the byte pool no longer fits 16-bit offsets")
    return bytes(pool), offsets


def emit_table(name, runs):
    pool, offsets = pool_of(runs)
    out = []
    out.append(f"const std::uint8_t k{name}Bytes[] = {{")
    for i in range(0, len(pool), 16):
        out.append("    " + ", ".join(f"0x{b:02X}" for b in pool[i:i + 16]) + ",")
    out.append("};")
    out.append("")
    out.append(f"const CodeRun k{name}Runs[] = {{")
    cells = []
    for (unit, kind, code, extra), offset in zip(runs, offsets):
        lengths = len(code) | (len(extra) << 4)
        cells.append(f"{{0x{unit:04X}, 0x{offset:04X}, {KINDS[kind]}, 0x{lengths:02X}}}")
    for i in range(0, len(cells), 4):
        out.append("    " + ", ".join(cells[i:i + 4]) + ",")
    out.append("};")
    out.append("")
    return out, len(runs), len(pool)


HEADER = """\
// The character codes of the text sort orders (see text_collation.h). Generated by
// scripts/sort_codes.py from published tables of the bytes Access writes into text index keys
// for every character of the Basic Multilingual Plane (those the Jackcess library publishes,
// under the Apache License 2.0); do not edit by hand.
//
// Each table is a list of runs in order of code unit: a run starts at its unit and ends where
// the next begins. Its characters share a kind and an extra code; the code of each is the
// code of the one before with the last byte one higher. A run names where its first code and
// extra code start in the table's bytes, and their lengths (code: low four bits, extra code:
// high four bits). Kinds: 0 no known code, 1 ignored, 2 inline, 3 unprintable, 4 modifier,
// 5 kana, 6 small kana (text_collation_codes.h).
//
// The codes the engine had before these tables, taken from keys Access wrote into the
// fixtures, are all among them; the key tests compare every text index of the fixtures.
#include "db/jet/index/text_collation_codes.h"

namespace jet::sort_codes {

namespace {

// clang-format off
"""

FOOTER = """\
// clang-format on

}  // namespace

const SortTable kGeneralLegacy{kGeneralLegacyRuns, kGeneralLegacyBytes};
const SortTable kGeneral{kGeneralRuns, kGeneralBytes};

}  // namespace jet::sort_codes
"""


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    source = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[2] if len(sys.argv) == 3 else os.path.join(
        here, "..", "db", "jet", "index", "text_collation_codes.cpp")
    legacy = apply_rules(parse(os.path.join(source, "index_codes_genleg.txt"),
                               os.path.join(source, "index_codes_ext_genleg.txt")), False)
    general = apply_rules(parse(os.path.join(source, "index_codes_gen.txt"),
                                os.path.join(source, "index_codes_ext_gen.txt")), True)
    lines = [HEADER.rstrip("\n")]
    for name, codes in (("GeneralLegacy", legacy), ("General", general)):
        table, runs, size = emit_table(name, runs_of(codes))
        lines.append(f"// {name}: {runs} runs, {size} bytes of codes.")
        lines += table
    text = "\n".join(lines) + FOOTER
    with open(target, "w", encoding="ascii") as f:
        f.write(text)


if __name__ == "__main__":
    main()
