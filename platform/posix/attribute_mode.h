// The DOS read-only attribute as POSIX permission bits, for setting attributes by name and
// through an open file alike.
#pragma once

#include <sys/stat.h>

#include <cstdint>

#include "platform/platform.h"

namespace qp::platform::posix {

// The permission bits `current` (st_mode & 07777) becomes under `attributes`: read-only takes
// every write bit away; otherwise only the owner gets write access back, since widening it
// for others was never asked for. Hidden, system and archive have no POSIX counterpart.
inline mode_t ModeForAttributes(mode_t current, uint32_t attributes) {
  mode_t mode = current;
  if (attributes & faReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else if ((mode & S_IWUSR) == 0) {
    mode |= S_IWUSR;
  }
  return mode;
}

}  // namespace qp::platform::posix
