// The engine's exception: error codes looked up from native errors and the message rule.
#include <gtest/gtest.h>

#include "archive/base/component_base.h"
#include "archive/base/exception.h"

namespace {

struct Named : TComponent {
  explicit Named(const char16_t* name) : TComponent(nullptr) { Name = name; }
};

TEST(ErrorMessages, NamedComponentPrefixesTheMessage) {
  Named archiver(u"Archiver");
  EQPException e(13, &archiver);
  EXPECT_EQ(e.Message(), u"Archiver: Archive is not open - Native error: 00013");
  EXPECT_EQ(e.ErrorCode, 7);
  EXPECT_EQ(e.NativeError, 13);
  EXPECT_STREQ(e.what(), "Archiver: Archive is not open - Native error: 00013");
}

TEST(ErrorMessages, UnnamedAndEmptyNamedRaisesCarryNoPrefix) {
  EXPECT_EQ(EQPException(35, nullptr).Message(), u"Invalid archive file. - Native error: 00035");
  Named nameless(u"");
  EXPECT_EQ(EQPException(35, &nameless).Message(), u"Invalid archive file. - Native error: 00035");
}

TEST(ErrorMessages, NativeErrorsShareMessagesByCode) {
  for (int native : {9, 10, 29}) {
    EQPException e(native, nullptr);
    EXPECT_EQ(e.ErrorCode, 5);
    EXPECT_EQ(e.Message().substr(0, 49), u"File name is blank. Specify appropriate file name");
  }
  EXPECT_NE(EQPException(9, nullptr).Message(), EQPException(10, nullptr).Message());
}

TEST(ErrorMessages, ArgumentsFillPlaceholders) {
  Named archiver(u"Archiver");
  EXPECT_EQ(EQPException(12, &archiver, {std::u16string(u"C:\\a.zip")}).Message(),
            u"Archiver: File \"C:\\a.zip\" not found - Native error: 00012");
  EXPECT_EQ(EQPException(34, nullptr, {int64_t{5}, int64_t{-7}}).Message(),
            u"Invalid compressed size, rfs.size = 5, count = -7 - Native error: 00034");
  EXPECT_EQ(EQPException(61, nullptr, {std::u16string(u"x")}).Message(),
            u"File name is too long: \r\n\"x\" - Native error: 00061");
}

TEST(ErrorMessages, EveryNativeErrorHasItsTableCode) {
  // A few spot checks across the table, and the boundaries.
  const std::pair<int, int> expected[] = {{0, 0},   {1, 1},   {8, 4},   {19, 9},  {24, 1},  {33, 12},
                                          {35, 18}, {40, 22}, {45, 24}, {55, 32}, {59, 34}, {65, 39},
                                          {66, 39}, {67, 40}};
  for (auto [native, code] : expected) EXPECT_EQ(QPErrorCodeOf(native), code) << native;
  EXPECT_EQ(QPErrorCodeOf(68), 0);
  EXPECT_EQ(QPErrorCodeOf(-1), 0);
  EXPECT_EQ(EQPException(100000, nullptr).Message(), u"Unknown error - Native error: 100000");
  EXPECT_EQ(EQPException(500, nullptr).Message(), u"Unknown error - Native error: 00500");
}

}  // namespace
