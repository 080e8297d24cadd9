// Conversion codes of the reference host.
//
// Direction 1 (QV_CONV_TO_RECORD) turns an external (XML) value into the internal
// (record) form; direction 0 (QV_CONV_TO_XML) the opposite. An empty input gives
// an empty output. An unknown code or a value that does not fit the code fails.
//
//   D codes   internal form: a day number, day 0 = 31 December 1967 (day 1 =
//             1 January 1968; earlier dates are negative). Years 1 to 9999.
//             D[y][s][order][[wy,wm,wd]]
//               y      year digits, 2 or 4 (default 4)
//               s      separator: one character other than a letter, digit or "["
//               order  Y, M and D in any order (default MDY with a separator)
//               [...]  widths of the three parts in that order; a month width of
//                      3 or more writes the month's name (JAN ...)
//             Without a separator: "DD MMM YYYY" with a blank between parts.
//             Examples: "D-YMD[4,2,2]" 2000-01-31, "D4/" 01/31/2000,
//             "D2/DMY" 31/01/00, "D" 31 JAN 2000. Two-digit years read as 1930
//             to 2029. Month names are read without regard to case.
//   MDn       masked decimal with n (0 to 9) decimals, internal form an integer:
//             MD2 "12.34" <-> "1234", "-0.5" -> "-50"; more decimals are rounded
//             half away from zero.
//   MCU, MCL  upper / lower case (ASCII letters), both directions.
//
// Blanks (space, tab, CR, LF) around a date or a number are not part of it: pretty-
// printed documents put them there, so they are trimmed before D and MD convert.
#pragma once

#include <functional>
#include <string>

namespace qvhost {

// Converts one value `input` with `code`; false when the code is unknown or the
// input bad.
bool convertValue(const std::string& input, const std::string& code, int direction,
                  std::string& output);

// Whether the host knows `code` (an empty code is no conversion and is known).
bool knownConversion(const std::string& code);

// Converts a whole field or value as the library hands it over: each value (between
// `valueMark`s) and each subvalue (between `subvalueMark`s) on its own, the marks
// kept in place. An empty piece, or one that is just `nullMark`, stays as it is.
// A refused piece is handed to `refused` (when given), which appends what stands
// for it to `output`; without it the piece is kept as it was. False when any piece
// was refused.
bool convertField(const std::string& input, const std::string& code, int direction,
                  char valueMark, char subvalueMark, char nullMark, std::string& output,
                  const std::function<void(const std::string& piece, std::string& output)>&
                      refused = nullptr);

}  // namespace qvhost
