// Where an archive can lie in a file that starts with a Windows program (a self-extractor):
// behind the program's image, and in front of an Authenticode certificate table that a
// signing tool appends to the file's end. The image itself holds the record signatures as
// constants in its code, so searching it for records finds false ones; and a certificate
// table at the end pushes the end record away from where a search from the end looks.
#pragma once

#include <cstdint>

#include "archive/io/stream.h"

// The part of a file that may hold archive records: [Begin, End).
struct TQPArchiveSpan {
  int64_t Begin = 0;
  int64_t End = 0;
};

// For a file that is not a PE program, the whole file. For a PE program, the bytes after
// its image (headers, sections and any COFF symbol table), without a certificate table at
// the file's end (a program signed after the archive was appended) or directly behind the
// image (a signed program with the archive appended afterwards). A program that is cut
// short leaves an empty span. Leaves the stream's position undefined.
TQPArchiveSpan QPArchiveSpan(TQPStream& stream);
