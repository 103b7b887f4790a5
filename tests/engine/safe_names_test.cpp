#include "engine/safe_names.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrelin {
namespace {

struct NameCase {
  std::string input;
  std::string expected;
};

TEST(SafeName, MapsNamesThatWouldLeaveTheFolder) {
  const NameCase cases[] = {
      {"..", "%2e%2e"},
      {".", "%2e"},
      {"...", "..."},
      {"..a", "..a"},
      {"a/b", "a%2fb"},
      {"../../etc", "..%2f..%2fetc"},
      {"a\\b", "a%5cb"},
      {std::string("a\0b", 3), "a%00b"},
      {"", ""},
      {"index.html", "index.html"},
      {"c d.html", "c d.html"},
      {"img%x%a.gif", "img%x%a.gif"},  // markers are left for the next level
  };
  for (const auto& c : cases) EXPECT_EQ(SafeName(c.input), c.expected) << c.input;
}

TEST(SafeName, CutsOverlongNamesKeepingTheExtensionAndApartByHash) {
  const std::string longA = std::string(300, 'a') + ".html";
  const std::string longB = std::string(299, 'a') + "b.html";
  const std::string safeA = SafeName(longA);
  const std::string safeB = SafeName(longB);
  EXPECT_LE(safeA.size(), kMaxNameBytes);
  EXPECT_EQ(safeA.size(), kMaxNameBytes);
  EXPECT_TRUE(safeA.ends_with(".html")) << safeA;
  EXPECT_NE(safeA.find('~'), std::string::npos);
  EXPECT_NE(safeA, safeB);
  EXPECT_EQ(SafeName(longA), safeA);  // stable
  const std::string exact(kMaxNameBytes, 'x');
  EXPECT_EQ(SafeName(exact), exact);
}

TEST(WorkingFileName, OrdinaryPathsJoinWithTheMarker) {
  const NameCase cases[] = {
      {"index.html", "index.html"},
      {"d/img/a.gif", "d%x%img%x%a.gif"},
      {"docs/", "docs%x%"},
      {"external/logo.gif", "external%x%logo.gif"},
      {"a\\b/c", "a%x%b%x%c"},
  };
  for (const auto& c : cases) EXPECT_EQ(WorkingFileName(c.input), c.expected) << c.input;
}

TEST(WorkingFileName, HostileSegmentsStayInsideTheTree) {
  const NameCase cases[] = {
      {"a/../../x", "a%x%%2e%2e%x%%2e%2e%x%x"},
      {"./x", "%2e%x%x"},
      {"..", "%2e%2e"},
      {"../", "%2e%2e%x%"},
      {"a//b", "a%x%b"},  // empty segments vanish
      {"/x", "x"},
      {"/", "%x%"},
      {"//", "%x%"},
      {std::string("a\0/b", 4), "a%00%x%b"},
  };
  for (const auto& c : cases) EXPECT_EQ(WorkingFileName(c.input), c.expected) << c.input;
}

TEST(WorkingFileName, OverlongPathsKeepLeadingFoldersAndTheFile) {
  std::string path;
  for (int i = 0; i < 40; ++i) path += "folder" + std::to_string(i) + "/";
  const std::string name = WorkingFileName(path + "picture.gif");
  EXPECT_LE(name.size(), kMaxNameBytes);
  EXPECT_TRUE(name.starts_with("folder0%x%folder1%x%")) << name;
  EXPECT_TRUE(name.ends_with(".gif")) << name;
  EXPECT_NE(name.find("picture~"), std::string::npos) << name;
  // Paths that differ only in a dropped folder stay apart.
  std::string other = path;
  other.replace(other.find("folder39"), 8, "folderXX");
  EXPECT_NE(WorkingFileName(other + "picture.gif"), name);

  // One segment too long for any name.
  const std::string single = WorkingFileName("d/" + std::string(400, 'z') + ".pdf");
  EXPECT_LE(single.size(), kMaxNameBytes);
  EXPECT_TRUE(single.starts_with("d%x%z")) << single;
  EXPECT_TRUE(single.ends_with(".pdf")) << single;

  // A long folder link still ends with the marker (it names no file).
  const std::string folderLink = WorkingFileName(path);
  EXPECT_LE(folderLink.size(), kMaxNameBytes);
  EXPECT_TRUE(folderLink.ends_with("%x%")) << folderLink;
}

}  // namespace
}  // namespace kestrelin
