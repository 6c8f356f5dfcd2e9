// The component and persistent bases.
#include "archive/component_base.h"

#include "archive/exception.h"

void TPersistent::Assign(const TPersistent&) {
  throw Exception(u"Cannot assign an object of another class");
}
