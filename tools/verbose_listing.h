// The columns of `quillpack list -v`: size, packed size, ratio, method, date and time, CRC-32,
// an encrypted mark and the name of every item, and a totals line, as people who read
// `unzip -v` expect them.
#pragma once

#include <cstdint>
#include <string>

#include "archive/format/dir_item.h"

class TQPDirArray;

// "stored", "deflate", "AES-256/deflate" for an AES item over its actual method, and any
// other method by its number ("14", "AES-128/14").
std::string MethodName(const TDirItem& item);
// The space saved, as unzip counts it: 100 - 100 * packed / size, rounded to whole percent,
// 0% for an empty item; negative when packing made the item larger, down to -999%.
std::string Ratio(uint64_t size, uint64_t packed);
// A DOS date and time as "2025-01-01 12:00".
std::string DosDateTime(uint16_t date, uint16_t time);

// The whole listing: a header, one line per item, a rule and the totals. `terminal` chooses
// how names are escaped (as plain `list` does: every control character on a terminal, only
// line breaks into a pipe).
std::string VerboseListing(const TQPDirArray& directory, bool terminal);
