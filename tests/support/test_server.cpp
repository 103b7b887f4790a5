#include "tests/support/test_server.h"

#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

namespace kestrelin::test {
namespace fs = std::filesystem;

namespace {

void RunOrThrow(const std::string& command) {
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
    throw std::runtime_error("certificate command failed: " + command);
  }
}

}  // namespace

TlsFiles MakeTestCertificates(const std::string& folder) {
  fs::create_directories(folder);
  const std::string dir = "'" + folder + "'";
  TlsFiles files{folder + "/server.pem", folder + "/server.key", folder + "/ca.pem"};
  {
    std::ofstream ext(folder + "/server.ext");
    ext << "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n";
  }
  RunOrThrow("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Test Authority'"
             " -keyout " + dir + "/ca.key -out " + dir + "/ca.pem");
  RunOrThrow("openssl req -newkey rsa:2048 -nodes -subj '/CN=127.0.0.1'"
             " -keyout " + dir + "/server.key -out " + dir + "/server.csr");
  RunOrThrow("openssl x509 -req -days 2 -in " + dir + "/server.csr -CA " + dir + "/ca.pem -CAkey " +
             dir + "/ca.key -CAcreateserial -extfile " + dir + "/server.ext -out " + dir +
             "/server.pem");
  return files;
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
  explicit Impl(std::unique_ptr<httplib::Server> s, bool tls) : server(std::move(s)), https(tls) {}
  std::unique_ptr<httplib::Server> server;
  bool https = false;
  int port = 0;
  std::thread thread;

  mutable std::mutex mutex;
  std::string folder;
  std::map<std::string, DeclaredResponse> declared;
  std::set<std::string> refuseHead;
  std::map<std::string, int> counts;
  std::vector<SeenRequest> seen;

  void Start() {
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); };
    server->Get(".*", handler);  // GET and HEAD
    server->Post(".*", handler);
    port = server->bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("test server could not bind");
    thread = std::thread([this] { server->listen_after_bind(); });
    for (int i = 0; i < 500 && !server->is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

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

TestServer::TestServer()
    : impl_(std::make_unique<Impl>(std::make_unique<httplib::Server>(), false)) {
  impl_->Start();
}

TestServer::TestServer(const TlsFiles& tls)
    : impl_(std::make_unique<Impl>(
          std::make_unique<httplib::SSLServer>(tls.CertFile.c_str(), tls.KeyFile.c_str()), true)) {
  if (!impl_->server->is_valid()) throw std::runtime_error("TLS test server not available");
  impl_->Start();
}

TestServer::~TestServer() {
  if (!impl_) return;
  impl_->server->stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int TestServer::Port() const { return impl_->port; }

std::string TestServer::BaseUrl() const {
  return std::string(impl_->https ? "https" : "http") + "://127.0.0.1:" + std::to_string(impl_->port);
}

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
