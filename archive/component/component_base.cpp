// The component and persistent bases.
#include "archive/component/component_base.h"

#include <stdexcept>

void TPersistent::Assign(const TPersistent&) {
  throw std::invalid_argument("Cannot assign an object of another class");
}
