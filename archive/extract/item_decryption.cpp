// The decoder's decryption stage for an encrypted item.
#include "archive/extract/item_decryption.h"

#include <vector>

void TQPItemDecryption::Transform(uint8_t* data, size_t count) { stage_.DecryptInPlace({data, count}); }

bool TQPItemDecryption::Finish(uint32_t crc, uint32_t storedCrc) {
  // The trailer lies right behind the data, possibly on the next volume; an archive that ends
  // before it cannot prove the item.
  std::vector<uint8_t> trailer(stage_.TrailerSize());
  if (!trailer.empty() && !source_.ReadBlock(trailer.data(), trailer.size())) return false;
  if (!stage_.Verify(trailer)) return false;
  return !stage_.ComparesCrc() || crc == storedCrc;
}
