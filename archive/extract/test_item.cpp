// Testing one item: its data goes through the same decoder as an extraction, into a stream
// that keeps nothing, so that every check of the decoder (size, CRC-32, the decryption's own
// check) and every event of the run hold for a test as they do for an extraction.
#include "archive/component/archiver.h"
#include "archive/extract/extract_run.h"
#include "archive/io/null_stream.h"

void TQPBaseArchiver::TestOneItem(TQPExtractRun& run, int32_t index) {
  // A folder has no data of its own to check.
  if (dirManager_->Directory.ItemRef(index).IsFolder()) return;
  TQPNullStream nowhere;
  DecodeItemInto(index, nowhere, &run);
}
