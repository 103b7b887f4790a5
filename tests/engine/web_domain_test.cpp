#include "engine/web_domain.h"

#include <gtest/gtest.h>

#include "engine/recording_host.h"

namespace kestrelin {
namespace {

TEST(DetectWebDomain, KeepsTheLastLabelsBehindWww) {
  struct Case {
    const char* root;
    const char* expected;  // empty: fails with the red line
  };
  const Case cases[] = {
      {"http://www.example.com/", "http://www.example.com/"},
      {"http://example.com/", "http://www.example.com/"},
      {"http://a.b.example.com/", "http://www.example.com/"},
      {"http://www.shop.co.zz/", "http://www.shop.co.zz/"},
      {"http://www.ab.zz/", "http://www.www.ab.zz/"},
      {"http://www.example.com:8080/", "http://www.example.com:8080/"},
      {"http://192.168.0.1/", "http://www.0.1/"},
      {"https://shop.example.com/", "https://www.example.com/"},
      {"http://localhost/", ""},
      {"http://co.zz/", ""},
      {"", ""},
      {"http:/", ""},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    EXPECT_EQ(DetectWebDomain(host, c.root), c.expected) << c.root;
    if (*c.expected == '\0') {
      ASSERT_EQ(host.LineCount(), 1) << c.root;
      EXPECT_EQ(host.LineText(1), "Could not detect actual web domain.");
      EXPECT_TRUE(host.Log().Line(1).Red);
    } else {
      EXPECT_EQ(host.LineCount(), 0) << c.root;
    }
  }
}

}  // namespace
}  // namespace kestrelin
