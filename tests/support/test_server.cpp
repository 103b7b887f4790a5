#include "tests/support/test_server.h"

#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

namespace kestrelin::test {
namespace fs = std::filesystem;

TlsFiles MakeTestCertificates(const std::string& /*folder*/) {
  throw std::runtime_error("TLS test server not available");
}

namespace {

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string HttpDate(std::time_t when) {
  char text[64];
  std::tm parts{};
  gmtime_r(&when, &parts);
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

std::time_t ModificationTime(const fs::path& path) {
  const auto stamp = fs::last_write_time(path);
  const auto system = std::chrono::file_clock::to_sys(stamp);
  return std::chrono::system_clock::to_time_t(system);
}

// Serves `body` with a Content-Length of the whole body but sends only
// the first half, then gives up so that the connection is closed.
void DeliverShortBody(httplib::Response& res, const DeclaredResponse& declared) {
  const std::string body = declared.Body;
  res.set_content_provider(body.size(), declared.ContentType,
                           [body](size_t offset, size_t, httplib::DataSink& sink) {
                             const size_t half = body.size() / 2;
                             if (offset < half) sink.write(body.data() + offset, half - offset);
                             return false;
                           });
}

void DeliverChunked(httplib::Response& res, const DeclaredResponse& declared, bool finish) {
  const std::string body = declared.Body;
  res.set_chunked_content_provider(declared.ContentType,
                                   [body, finish](size_t offset, httplib::DataSink& sink) {
                                     if (offset < body.size()) {
                                       const size_t piece = std::max<size_t>(1, body.size() / 2);
                                       const size_t n = std::min(piece, body.size() - offset);
                                       sink.write(body.data() + offset, n);
                                       return true;
                                     }
                                     if (!finish) return false;
                                     sink.done();
                                     return true;
                                   });
}

void DeliverNothing(httplib::Response& res, const DeclaredResponse& declared) {
  res.set_content_provider(std::max<size_t>(1, declared.Body.size()), declared.ContentType,
                           [](size_t, size_t, httplib::DataSink&) { return false; });
}

}  // namespace

struct TestServer::Impl {
  httplib::Server server;
  int port = 0;
  std::thread thread;

  mutable std::mutex mutex;
  std::string folder;
  std::map<std::string, DeclaredResponse> declared;
  std::set<std::string> refuseHead;
  std::map<std::string, int> counts;
  std::vector<SeenRequest> seen;

  void Record(const httplib::Request& req) {
    SeenRequest request;
    request.Method = req.method;
    request.Path = req.target.empty() ? req.path : req.target;
    for (const auto& [name, value] : req.headers) request.Headers.emplace(name, value);
    std::lock_guard lock(mutex);
    ++counts[req.path];
    seen.push_back(std::move(request));
  }

  void Answer(const httplib::Request& req, httplib::Response& res) {
    Record(req);
    std::optional<DeclaredResponse> response;
    bool refuse = false;
    std::string root;
    {
      std::lock_guard lock(mutex);
      refuse = refuseHead.count(req.path) > 0;
      if (auto it = declared.find(req.path); it != declared.end()) response = it->second;
      root = folder;
    }
    if (refuse && req.method == "HEAD") {
      res.status = 405;
      return;
    }
    if (response) {
      AnswerDeclared(*response, res);
      return;
    }
    AnswerFromFolder(root, req, res);
  }

  static void AnswerDeclared(const DeclaredResponse& declared, httplib::Response& res) {
    if (declared.DelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(declared.DelayMs));
    res.status = declared.Status;
    for (const auto& [name, value] : declared.Headers) res.set_header(name, value);
    switch (declared.How) {
      case Delivery::Normal: res.set_content(declared.Body, declared.ContentType); break;
      case Delivery::Chunked: DeliverChunked(res, declared, true); break;
      case Delivery::BrokenChunked: DeliverChunked(res, declared, false); break;
      case Delivery::ShortBody: DeliverShortBody(res, declared); break;
      case Delivery::Drop: DeliverNothing(res, declared); break;
    }
  }

  static void AnswerFromFolder(const std::string& root, const httplib::Request& req,
                               httplib::Response& res) {
    const std::string relative = req.path.empty() ? std::string() : req.path.substr(1);
    if (root.empty() || relative.empty() || req.path.find("..") != std::string::npos) {
      res.status = 404;
      return;
    }
    const fs::path file = fs::path(root) / relative;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
      res.status = 404;
      return;
    }
    const auto size = fs::file_size(file, ec);
    const std::time_t modified = ModificationTime(file);
    const std::string etag = "\"" + std::to_string(size) + "-" + std::to_string(modified) + "\"";
    const std::string lastModified = HttpDate(modified);
    res.set_header("ETag", etag);
    res.set_header("Last-Modified", lastModified);
    const bool etagMatches = req.has_header("If-None-Match") &&
                             req.get_header_value("If-None-Match") == etag;
    const bool dateMatches = !req.has_header("If-None-Match") &&
                             req.has_header("If-Modified-Since") &&
                             req.get_header_value("If-Modified-Since") == lastModified;
    if (etagMatches || dateMatches) {
      res.status = 304;
      return;
    }
    res.status = 200;
    res.set_content(ReadBytes(file), "application/octet-stream");
  }
};

TestServer::TestServer() : impl_(std::make_unique<Impl>()) {
  auto handler = [this](const httplib::Request& req, httplib::Response& res) {
    impl_->Answer(req, res);
  };
  impl_->server.Get(".*", handler);  // GET and HEAD
  impl_->server.Post(".*", handler);
  impl_->port = impl_->server.bind_to_any_port("127.0.0.1");
  if (impl_->port <= 0) throw std::runtime_error("test server could not bind");
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  for (int i = 0; i < 500 && !impl_->server.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

TestServer::TestServer(const TlsFiles& /*tls*/) {
  throw std::runtime_error("TLS test server not available");
}

TestServer::~TestServer() {
  if (!impl_) return;
  impl_->server.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int TestServer::Port() const { return impl_->port; }

std::string TestServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(impl_->port); }

void TestServer::ServeFolder(const std::string& folder) {
  std::lock_guard lock(impl_->mutex);
  impl_->folder = folder;
}

void TestServer::Declare(const std::string& path, DeclaredResponse response) {
  std::lock_guard lock(impl_->mutex);
  impl_->declared[path] = std::move(response);
}

void TestServer::Declare(const std::string& path, const std::string& body,
                         const std::string& contentType) {
  DeclaredResponse response;
  response.Body = body;
  response.ContentType = contentType;
  Declare(path, std::move(response));
}

void TestServer::RefuseHead(const std::string& path) {
  std::lock_guard lock(impl_->mutex);
  impl_->refuseHead.insert(path);
}

int TestServer::RequestCount(const std::string& path) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->counts.find(path);
  return it == impl_->counts.end() ? 0 : it->second;
}

int TestServer::TotalRequests() const {
  std::lock_guard lock(impl_->mutex);
  return static_cast<int>(impl_->seen.size());
}

std::vector<SeenRequest> TestServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->seen;
}

void TestServer::ResetCounts() {
  std::lock_guard lock(impl_->mutex);
  impl_->counts.clear();
  impl_->seen.clear();
}

}  // namespace kestrelin::test
