// The extended-length form of long paths: the prefix for drive and server paths, and the
// parsing that the form switches off done beforehand, so that a component reaches the file
// system as the ordinary parser would have left it.
#include <gtest/gtest.h>

#include <string>

#include "platform/extended_path.h"

namespace {

using qp::platform::ExtendedLengthPath;

TEST(ExtendedLengthPath, DrivePathsAndServerSharesGetTheirPrefix) {
  EXPECT_EQ(ExtendedLengthPath(u"C:\\dest\\sub\\file.txt"), u"\\\\?\\C:\\dest\\sub\\file.txt");
  EXPECT_EQ(ExtendedLengthPath(u"d:\\"), u"\\\\?\\d:\\");
  EXPECT_EQ(ExtendedLengthPath(u"C:\\dest\\sub\\"), u"\\\\?\\C:\\dest\\sub\\");
  EXPECT_EQ(ExtendedLengthPath(u"\\\\server\\share\\dir\\f.txt"), u"\\\\?\\UNC\\server\\share\\dir\\f.txt");
  EXPECT_EQ(ExtendedLengthPath(u"\\\\server\\share"), u"\\\\?\\UNC\\server\\share\\");
}

TEST(ExtendedLengthPath, WhatTheParserWouldHaveDoneIsDoneFirst) {
  // The destination typed with a trailing separator and "\start.ini" appended to it.
  EXPECT_EQ(ExtendedLengthPath(u"C:\\dest\\\\start.ini"), u"\\\\?\\C:\\dest\\start.ini");
  EXPECT_EQ(ExtendedLengthPath(u"C:/dest/./sub/../file.txt"), u"\\\\?\\C:\\dest\\file.txt");
  // ".." stops at the drive and at the share; it never eats their names.
  EXPECT_EQ(ExtendedLengthPath(u"C:\\..\\..\\file.txt"), u"\\\\?\\C:\\file.txt");
  EXPECT_EQ(ExtendedLengthPath(u"\\\\server\\share\\..\\x"), u"\\\\?\\UNC\\server\\share\\x");
}

TEST(ExtendedLengthPath, PathsThatCannotTakeThePrefixStayAsTheyAre) {
  for (const std::u16string path : {u"\\\\?\\C:\\already\\long", u"\\\\.\\COM1", u"relative\\file.txt",
                                    u"\\rooted\\without\\drive", u"C:drive-relative", u"\\\\server", u""}) {
    EXPECT_EQ(ExtendedLengthPath(path), path);
  }
}

TEST(ExtendedLengthPath, LongPathsKeepEveryComponent) {
  std::u16string path = u"C:\\dest";
  for (int i = 0; i < 40; ++i) path += u"\\folder" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
  path += u"\\file.txt";
  ASSERT_GT(path.size(), 260u);
  EXPECT_EQ(ExtendedLengthPath(path), u"\\\\?\\" + path);
}

}  // namespace
