// The component and persistent bases.
#include "archive/component/component_base.h"

#include "archive/component/exception.h"

void TPersistent::Assign(const TPersistent&) {
  throw Exception(u"Cannot assign an object of another class");
}
