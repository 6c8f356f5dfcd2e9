// The range of MS-DOS date-times (1980-01-01 00:00:00 to 2107-12-31 23:59:58), to which file
// times outside it are clamped on every platform.
#pragma once

#include <cstdint>

namespace qp::platform {

constexpr uint32_t kDosDateTimeMin = (1u << 21) | (1u << 16);
constexpr uint32_t kDosDateTimeMax =
    (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;

}  // namespace qp::platform
