// The check that no two items of a directory share bytes: each item's local header and data
// must lie apart from every other item's and outside the central directory, or one stretch of
// compressed data could be decoded again and again under many names.
#pragma once

#include <cstdint>

#include "archive/directory/dir_array.h"

// Where the central directory lies: on which disk, from which position, up to which.
struct TQPDirectorySpan {
  uint32_t Disk = 0;
  uint64_t Begin = 0;
  uint64_t End = 0;
};

// Raises EQPException 48 ("overlapping items, possible zip bomb") when two items' ranges meet,
// or when an item's local header lies inside the directory; data claimed to run into the
// directory counts only up to the directory's start, where decoding cuts it. With `perDisk` only items that start on the
// same disk are compared (offsets count per volume); otherwise every offset is a file position.
// Folders carry no data and are passed over. One sort of the offsets.
void QPCheckItemRangesApart(const TQPDirArray& directory, const TQPDirectorySpan& span, bool perDisk);
