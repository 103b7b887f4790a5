#include "engine/url_decoding.h"

#include <gtest/gtest.h>

namespace kestrelin {
namespace {

struct DecodeCase {
  std::string input;
  std::string expected;
};

TEST(DecodeUrlText, DecodesEscapesInOnePassAndKeepsTheFolderMarker) {
  const DecodeCase cases[] = {
      {"a+b", "a b"},
      {"%20", " "},
      {"%41%42", "AB"},
      {"%2f", "/"},
      {"%2F", "/"},
      {"dir%x%file%20a.html", "dir%x%file a.html"},
      {"%x%41", "%x%41"},
      {"%2541", "%41"},
      {"%4z", std::string("\x04", 1)},
      {"%zz", std::string("\0", 1)},
      {"%X%", std::string("\0", 1)},
      {"abc%", std::string("abc\0", 4)},
      {"abc%4", "abc\x04"},
      {"% 4", "\x04"},
      {"%C3%A9t%C3%A9", "\xC3\xA9t\xC3\xA9"},
      {"%ff", "\xff"},
      {"", ""},
      {"plain/text.html", "plain/text.html"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeUrlText(c.input), c.expected) << c.input;
  }
}

}  // namespace
}  // namespace kestrelin
