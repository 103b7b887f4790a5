#pragma once
// Test sites written into a folder for the test server to serve, together
// with what a crawl of them must produce: every reachable file with its
// bytes, the links that must fail and the files that must never be fetched.
#include <map>
#include <string>
#include <vector>

#include "tests/support/sandbox.h"

namespace kestrelin::test {

struct GeneratedSite {
  std::map<std::string, std::string> Reachable;  // path below the root -> bytes
  std::vector<std::string> FailingLinks;         // site paths, in crawl order
  std::vector<std::string> FailingPages;         // the page each was found on
  std::vector<std::string> NeverFetched;         // site paths
};

// Bytes that differ per file and include every byte value.
inline std::string FileBytes(const std::string& path) {
  std::string bytes = "content of " + path + "\n";
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

// A site of 12 sections with 5 sub-folders each, every sub-folder a page
// with a picture, a document, a deeper page with its own picture and a
// shared style sheet; a robots.txt that keeps /private/ out; links to a page
// that does not exist and, on every fifth sub-page, to a missing picture;
// an external link and an unlinked file. The crawl starts at /index.html
// with RipPageOnly 0 and NoGoUp 0; `externalBase` is another server.
inline GeneratedSite WriteNestedSite(const std::string& folder, const std::string& externalBase,
                                     int sections = 12, int subs = 5) {
  GeneratedSite site;
  auto put = [&](const std::string& path, const std::string& bytes, bool reachable = true) {
    WriteWholeFile(folder + path, bytes);
    if (reachable) site.Reachable[path.substr(1)] = bytes;
  };
  put("/robots.txt", "User-agent: *\r\nDisallow: /private/\r\n\r\n", false);
  put("/private/secret.html", "<p>secret</p>", false);
  put("/unlinked.html", "<p>nobody links here</p>", false);
  site.NeverFetched = {"/private/secret.html", "/unlinked.html"};

  std::string root = "<html><body>\r\n";
  for (int n = 0; n < sections; ++n)
    root += "<a href=\"sec" + std::to_string(n) + "/index.html\">section</a>\r\n";
  root += "<a href=\"/private/secret.html\">x</a> <a href=\"" + externalBase + "/ext.gif\">e</a>\r\n";
  root += "<img src=\"/img/logo.png\"> <a href=\"nothere.html\">gone</a></body></html>\r\n";
  put("/index.html", root);
  put("/img/logo.png", FileBytes("/img/logo.png"));
  site.FailingLinks.push_back("/nothere.html");
  site.FailingPages.push_back("/index.html");
  put("/shared/style.css", FileBytes("/shared/style.css"));

  for (int n = 0; n < sections; ++n) {
    const std::string sec = "/sec" + std::to_string(n);
    std::string index = "<html>\r\n";
    for (int m = 0; m < subs; ++m)
      index += "<a href=\"sub" + std::to_string(m) + "/page.html\">sub</a>\r\n";
    index += "<img src=\"../img/sec" + std::to_string(n) + ".png\"><a href=\"../index.html\">up</a>";
    put(sec + "/index.html", index);
    put("/img/sec" + std::to_string(n) + ".png", FileBytes("/img/sec" + std::to_string(n)));
  }
  for (int n = 0; n < sections; ++n) {
    for (int m = 0; m < subs; ++m) {
      const std::string sub = "/sec" + std::to_string(n) + "/sub" + std::to_string(m);
      const std::string doc = "/files/doc" + std::to_string(n) + "_" + std::to_string(m) + ".pdf";
      std::string page = "<html><img src=\"pic.gif\" alt=\"p\">\r\n<a href=\"" + doc +
                         "\">doc</a> <a href=\"deep/leaf.htm\">deeper</a>\r\n"
                         "<link rel=\"stylesheet\" href=\"../../shared/style.css\">\r\n";
      if (m == subs - 1) {
        page += "<img src=\"missing.gif\">\r\n";
        site.FailingLinks.push_back(sub + "/missing.gif");
        site.FailingPages.push_back(sub + "/page.html");
      }
      put(sub + "/page.html", page + "</html>");
      put(sub + "/pic.gif", FileBytes(sub + "/pic.gif"));
      put(doc, FileBytes(doc));
      put(sub + "/deep/leaf.htm", "<a href='../page.html'>back</a><img src='./leaf.jpg'>");
      put(sub + "/deep/leaf.jpg", FileBytes(sub + "/deep/leaf.jpg"));
    }
  }
  // The failures show in crawl order: the root's first, then by section.
  return site;
}

}  // namespace kestrelin::test
