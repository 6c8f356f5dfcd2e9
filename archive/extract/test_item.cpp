// Testing one item: its data goes through the same decoder as an extraction, into a stream
// that keeps nothing, so that every check of the decoder (size, CRC-32, the decryption's own
// check) and every event of the run hold for a test as they do for an extraction.
#include "archive/directory/dir_array.h"
#include "archive/extract/extract_run.h"
#include "archive/extract/run_host.h"
#include "archive/io/null_stream.h"

void TQPExtractRun::TestOneItem(int32_t index) {
  // A folder has no data of its own to check.
  if (host_.RunDirectory().ItemRef(index).IsFolder()) return;
  TQPNullStream nowhere;
  // Nothing is kept either way: a failure raises, a skip or a cancel is the run's to note.
  static_cast<void>(host_.DecodeItemInto(index, nowhere, this));
}
