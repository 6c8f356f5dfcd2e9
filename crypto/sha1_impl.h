// The SHA-1 block functions. Internal to crypto/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qp_crypto_detail {

// Processes blocks 64-byte blocks into state.
void SHA1BlocksPortable(uint32_t state[5], const uint8_t* data, size_t blocks);
// SHA-NI (only call when CpuHasShaNi()).
void SHA1BlocksNi(uint32_t state[5], const uint8_t* data, size_t blocks);

}  // namespace qp_crypto_detail
