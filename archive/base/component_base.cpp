// The component and persistent bases.
#include "archive/base/component_base.h"

#include "archive/base/exception.h"

void TPersistent::Assign(const TPersistent&) {
  throw Exception(u"Cannot assign an object of another class");
}
