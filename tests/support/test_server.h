#pragma once
// An HTTP (or HTTPS) server on 127.0.0.1 with a free port, run on its own
// thread for the length of a test. Serves a folder and declared responses,
// can misbehave on purpose, and counts the requests it gets per path.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrelin::test {

// How a declared response is delivered.
enum class Delivery {
  Normal,     // Content-Length and the whole body
  Chunked,    // no Content-Length, chunked transfer encoding
  ShortBody,  // announces the whole body's length, sends only half, closes
  BrokenChunked,  // a chunked body whose last chunk never comes; closes
  Drop,       // closes the connection without any response
  Stall,      // sends the headers and half the body, then one byte every StallMs
  Reset,      // sends the headers and half the body, then resets the connection
};

struct DeclaredResponse {
  int Status = 200;
  std::string Body{};
  std::string ContentType = "text/html";
  std::multimap<std::string, std::string> Headers{};  // extra response headers
  Delivery How = Delivery::Normal;
  int DelayMs = 0;  // wait this long before answering
  int StallMs = 0;  // for Delivery::Stall: the silence before each byte after half the body
  bool RefuseHead = false;  // HEAD requests get 405, as from servers that refuse HEAD
};

struct SeenRequest {
  std::string Method;
  std::string Path;  // as sent on the request line, query included
  std::multimap<std::string, std::string> Headers;
};

struct TlsFiles {
  std::string CertFile;  // server certificate (PEM)
  std::string KeyFile;   // its private key (PEM)
  std::string CaFile;    // the authority to trust for it (here the certificate itself)
};

// Generates a self-signed certificate for 127.0.0.1 and localhost in
// `folder`; it is its own authority. Throws on failure (tests only).
TlsFiles MakeTestCertificates(const std::string& folder);

class TestServer {
 public:
  TestServer();                        // plain HTTP
  explicit TestServer(const TlsFiles& tls);  // HTTPS
  ~TestServer();

  int Port() const;
  // "http://127.0.0.1:PORT" (or https), without a final "/".
  std::string BaseUrl() const;

  // Files below `folder` answer GET and HEAD at their relative path, with
  // ETag and Last-Modified, honouring If-None-Match / If-Modified-Since.
  void ServeFolder(const std::string& folder);
  // Every answer from the folder (304s too) waits this long first.
  void DelayFolderAnswers(int ms);
  // A response for exactly this path (query ignored); wins over the folder.
  void Declare(const std::string& path, DeclaredResponse response);
  // Shorthand: 200 with `body`.
  void Declare(const std::string& path, const std::string& body,
               const std::string& contentType = "text/html");
  // Every path that has no declared response (and no file, when a folder
  // is served) answers 200 with `body(target)`, target as on the request line.
  void AnswerAnyPath(std::function<std::string(const std::string& target)> body);
  // `from` answers `status` with a Location header `to`.
  void Redirect(const std::string& from, const std::string& to, int status = 302);

  // Requests received for `path` (without query), all methods.
  int RequestCount(const std::string& path) const;
  std::vector<SeenRequest> Requests() const;
  // Client connections seen (distinct client ports) and the most requests
  // that were being answered at the same moment.
  int ConnectionCount() const;
  int MaxConcurrentRequests() const;
  void ResetCounts();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrelin::test
