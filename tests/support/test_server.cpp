#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
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

// Sleeps `ms` in short steps, ending early when the server stops, so a
// misbehaving response never holds up the end of a test.
void PauseUnless(const std::atomic<bool>& stopping, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Headers and the first half of the body, then silence for StallMs, then
// the connection is closed.
void DeliverStall(httplib::Response& res, const DeclaredResponse& declared,
                  const std::atomic<bool>& stopping) {
  const std::string body = declared.Body;
  const int stallMs = declared.StallMs;
  res.set_content_provider(body.size(), declared.ContentType,
                           [body, stallMs, &stopping](size_t offset, size_t, httplib::DataSink& sink) {
                             const size_t half = body.size() / 2;
                             if (offset < half) {
                               sink.write(body.data() + offset, half - offset);
                               return true;
                             }
                             PauseUnless(stopping, stallMs);
                             return false;
                           });
}

// httplib gives a handler no hold on its socket, so the connection of the
// client at `clientPort` is found among the process's descriptors.
template <typename Act>
void ForClientSocket(int serverPort, int clientPort, Act act) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    sockaddr_in local{}, peer{};
    socklen_t localSize = sizeof local, peerSize = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0) continue;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) continue;
    if (local.sin_family == AF_INET && ntohs(local.sin_port) == serverPort &&
        ntohs(peer.sin_port) == clientPort) {
      act(fd);
    }
  }
}

// Shuts the client's connection down: whatever httplib then writes goes
// nowhere, and the client sees the connection close without a response.
void DropConnection(int serverPort, int clientPort) {
  ForClientSocket(serverPort, clientPort, [](int fd) { ::shutdown(fd, SHUT_RDWR); });
}

// Half the body, then the connection is reset: a connect to AF_UNSPEC
// disconnects the TCP socket at once with a RST, before httplib gets to end
// it in order; its later writes and close then go nowhere.
void DeliverReset(httplib::Response& res, const DeclaredResponse& declared, int serverPort,
                  int clientPort) {
  const std::string body = declared.Body;
  res.set_content_provider(
      body.size(), declared.ContentType,
      [body, serverPort, clientPort](size_t offset, size_t, httplib::DataSink& sink) {
        const size_t half = body.size() / 2;
        if (offset < half) {
          sink.write(body.data() + offset, half - offset);
          return true;
        }
        ForClientSocket(serverPort, clientPort, [](int fd) {
          sockaddr unspecified{};
          unspecified.sa_family = AF_UNSPEC;
          ::connect(fd, &unspecified, sizeof unspecified);
        });
        return false;
      });
}

}  // namespace

struct TestServer::Impl {
  explicit Impl(std::unique_ptr<httplib::Server> s, bool tls) : server(std::move(s)), https(tls) {}
  std::unique_ptr<httplib::Server> server;
  bool https = false;
  int port = 0;
  std::thread thread;
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;
  std::string folder;
  int folderDelayMs = 0;
  std::map<std::string, DeclaredResponse> declared;
  std::set<std::string> refuseHead;
  std::function<std::string(const std::string&)> anyPath;
  std::map<std::string, int> counts;
  std::vector<SeenRequest> seen;
  std::set<int> clientPorts;
  int inFlight = 0;
  int maxInFlight = 0;

  void Start() {
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); };
    // Any path, also one that holds a decoded CR or LF.
    server->Get("[\\s\\S]*", handler);  // GET and HEAD
    server->Post("[\\s\\S]*", handler);
    // Enough workers to see more connections than a client should open, and
    // connections kept open for as many requests as a test makes.
    server->new_task_queue = [] { return new httplib::ThreadPool(24); };
    server->set_keep_alive_max_count(100000);
    server->set_tcp_nodelay(true);  // no 40 ms wait between headers and body
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
    clientPorts.insert(req.remote_port);
  }

  // Counts the requests being answered at once for the lifetime of a scope.
  struct InFlight {
    explicit InFlight(Impl& impl) : owner(impl) {
      std::lock_guard lock(owner.mutex);
      owner.maxInFlight = std::max(owner.maxInFlight, ++owner.inFlight);
    }
    ~InFlight() {
      std::lock_guard lock(owner.mutex);
      --owner.inFlight;
    }
    Impl& owner;
  };

  void Answer(const httplib::Request& req, httplib::Response& res) {
    Record(req);
    InFlight counted(*this);
    std::optional<DeclaredResponse> response;
    bool refuse = false;
    std::string root;
    int folderDelay = 0;
    std::function<std::string(const std::string&)> any;
    {
      std::lock_guard lock(mutex);
      refuse = refuseHead.count(req.path) > 0;
      if (auto it = declared.find(req.path); it != declared.end()) response = it->second;
      root = folder;
      folderDelay = folderDelayMs;
      any = anyPath;
    }
    if (refuse && req.method == "HEAD") {
      res.status = 405;
      return;
    }
    if (response) {
      AnswerDeclared(*response, req.remote_port, res);
      return;
    }
    if (folderDelay > 0) PauseUnless(stopping, folderDelay);
    AnswerFromFolder(root, req, res);
    if (res.status == 404 && any) {
      res.status = 200;
      res.set_content(any(req.target), "application/octet-stream");
    }
  }

  void AnswerDeclared(const DeclaredResponse& declared, int clientPort, httplib::Response& res) {
    if (declared.DelayMs > 0) PauseUnless(stopping, declared.DelayMs);
    res.status = declared.Status;
    for (const auto& [name, value] : declared.Headers) res.set_header(name, value);
    switch (declared.How) {
      case Delivery::Normal: res.set_content(declared.Body, declared.ContentType); break;
      case Delivery::Chunked: DeliverChunked(res, declared, true); break;
      case Delivery::BrokenChunked: DeliverChunked(res, declared, false); break;
      case Delivery::ShortBody: DeliverShortBody(res, declared); break;
      case Delivery::Drop: DropConnection(port, clientPort); break;
      case Delivery::Stall: DeliverStall(res, declared, stopping); break;
      case Delivery::Reset: DeliverReset(res, declared, port, clientPort); break;
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
  impl_->stopping = true;
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

void TestServer::DelayFolderAnswers(int ms) {
  std::lock_guard lock(impl_->mutex);
  impl_->folderDelayMs = ms;
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

void TestServer::AnswerAnyPath(std::function<std::string(const std::string& target)> body) {
  std::lock_guard lock(impl_->mutex);
  impl_->anyPath = std::move(body);
}

void TestServer::Redirect(const std::string& from, const std::string& to, int status) {
  DeclaredResponse response;
  response.Status = status;
  response.Body = "moved";
  response.Headers.emplace("Location", to);
  Declare(from, std::move(response));
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

int TestServer::ConnectionCount() const {
  std::lock_guard lock(impl_->mutex);
  return static_cast<int>(impl_->clientPorts.size());
}

int TestServer::MaxConcurrentRequests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->maxInFlight;
}

void TestServer::ResetCounts() {
  std::lock_guard lock(impl_->mutex);
  impl_->counts.clear();
  impl_->seen.clear();
  impl_->clientPorts.clear();
  impl_->maxInFlight = impl_->inFlight;
}

}  // namespace kestrelin::test
