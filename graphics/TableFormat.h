// The conversion tables of Tables.h as C source instead of assembler: the
// same bytes in `const unsigned char` arrays, for firmware built with a C
// compiler.
#pragma once

#include "graphics/Tables.h"

#include <string_view>

namespace lumidra::graphics {

// `dbLines` (as StripTable, FontTable and SplashTable give them) as C lines,
// UTF-8 without line ends, line by line:
// - a DB line with a label opens an array of that name; one without a label
//   adds to the open array, or opens one named `arrayName` when none is open;
// - the values go into the open array as "0xHH," each, sixteen to a line
//   (whatever the grouping of the DB lines), indented by four spaces;
// - an empty line closes the open array ("};") and is kept;
// - a comment (";" after spaces) becomes "/* text */" (any "*/" in the text
//   written "* /"), inside the open array after its values so far, or alone
//   between arrays;
// - a line in none of these forms is copied as it is, so that a C compiler
//   stops at it rather than a byte going missing.
// The end closes the open array. No lines give no lines: an empty font table
// defines no array, as its DB form defines no label.
//
// StripTable's
//     ST_8    DB 0x01, 0x00
//
//     ST_4    DB 0x00, 0x00
//
//             ; Строка = 2 байт(а).
// becomes
//     const unsigned char ST_8[] = {
//         0x01, 0x00,
//     };
//
//     const unsigned char ST_4[] = {
//         0x00, 0x00,
//     };
//
//     /* Строка = 2 байт(а). */
TTableLines CTableLines(const TTableLines& dbLines, std::string_view arrayName);

}  // namespace lumidra::graphics
