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
using namespace std::chrono_literals;

TlsFiles MakeTestCertificates(const std::string& folder) {
  fs::create_directories(folder);
  // One self-signed certificate: it is its own authority.
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "
                              "'/CN=127.0.0.1' -addext 'subjectAltName=IP:127.0.0.1,DNS:localhost'"
                              " -keyout '" + folder + "/server.key' -out '" + folder +
                              "/server.pem' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed: " + command);
  return {folder + "/server.pem", folder + "/server.key", folder + "/server.pem"};
}

namespace {

std::string HttpDate(std::time_t when) {
  char text[64];
  std::tm parts{};
  gmtime_r(&when, &parts);
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return text;
}

// Sleeps `ms` in short steps, ending early when the server stops, so a
// misbehaving response never holds up the end of a test.
void PauseUnless(const std::atomic<bool>& stopping, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(10ms);
}

// httplib gives a handler no hold on its socket, so the connection of the
// client at `clientPort` is found among the process's descriptors.
template <typename Act>
void ForClientSocket(int serverPort, int clientPort, Act act) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    sockaddr_in local{}, peer{};
    socklen_t localSize = sizeof local, peerSize = sizeof peer;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) == 0 &&
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 &&
        local.sin_family == AF_INET && ntohs(local.sin_port) == serverPort &&
        ntohs(peer.sin_port) == clientPort) {
      act(fd);
    }
  }
}

// Announces the whole body's length and sends its first half; then, as
// long as `more` says so, one more byte each time; else httplib closes the
// connection.
void DeliverHalf(httplib::Response& res, const DeclaredResponse& declared,
                 std::function<bool()> more) {
  res.set_content_provider(
      declared.Body.size(), declared.ContentType,
      [body = declared.Body, more](size_t offset, size_t, httplib::DataSink& sink) {
        const size_t half = body.size() / 2;
        if (offset >= half && !more()) return false;
        sink.write(body.data() + offset, offset < half ? half - offset : 1);
        return true;
      });
}

// The body in two chunks; without `finish` the last chunk never comes.
void DeliverChunked(httplib::Response& res, const DeclaredResponse& declared, bool finish) {
  res.set_chunked_content_provider(
      declared.ContentType, [body = declared.Body, finish](size_t offset, httplib::DataSink& sink) {
        if (offset < body.size()) {
          const size_t piece = std::max<size_t>(1, body.size() / 2);
          sink.write(body.data() + offset, std::min(piece, body.size() - offset));
          return true;
        }
        if (finish) sink.done();
        return finish;
      });
}

// Runs `f` on the server's state under its lock.
auto Locked(auto& impl, auto f) {
  std::lock_guard lock(impl.mutex);
  return f(impl);
}

}  // namespace

struct TestServer::Impl {
  Impl(std::unique_ptr<httplib::Server> s, bool tls) : server(std::move(s)), https(tls) {}
  std::unique_ptr<httplib::Server> server;
  bool https = false;
  int port = 0;
  std::thread thread;
  std::atomic<bool> stopping{false};

  mutable std::mutex mutex;
  std::string folder;
  int folderDelayMs = 0;
  std::map<std::string, DeclaredResponse> declared;
  std::function<std::string(const std::string&)> anyPath;
  std::map<std::string, int> counts;
  std::vector<SeenRequest> seen;
  std::set<int> clientPorts;
  int inFlight = 0, maxInFlight = 0;

  void Start() {
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { Answer(req, res); };
    // Any path, also one that holds a decoded CR or LF; Get answers HEAD too.
    server->Get("[\\s\\S]*", handler);
    // Enough workers to see more connections than a client should open,
    // connections kept open for as many requests as a test makes, and no
    // 40 ms wait between headers and body.
    server->new_task_queue = [] { return new httplib::ThreadPool(24); };
    server->set_keep_alive_max_count(100000);
    server->set_tcp_nodelay(true);
    port = server->bind_to_any_port("127.0.0.1");
    if (port <= 0) throw std::runtime_error("test server could not bind");
    thread = std::thread([this] { server->listen_after_bind(); });
    for (int i = 0; i < 500 && !server->is_running(); ++i) std::this_thread::sleep_for(2ms);
  }

  void Answer(const httplib::Request& req, httplib::Response& res) {
    SeenRequest request{req.method, req.target.empty() ? req.path : req.target, {}};
    request.Headers.insert(req.headers.begin(), req.headers.end());
    std::unique_lock lock(mutex);
    ++counts[req.path];
    seen.push_back(std::move(request));
    clientPorts.insert(req.remote_port);
    maxInFlight = std::max(maxInFlight, ++inFlight);
    const auto found = declared.find(req.path);
    const std::optional<DeclaredResponse> response =
        found == declared.end() ? std::nullopt : std::optional(found->second);
    const std::string root = folder;
    const int folderDelay = folderDelayMs;
    const auto any = anyPath;
    lock.unlock();

    if (response && response->RefuseHead && req.method == "HEAD") {
      res.status = 405;
    } else if (response) {
      AnswerDeclared(*response, req.remote_port, res);
    } else {
      PauseUnless(stopping, folderDelay);
      AnswerFromFolder(root, req, res);
      if (res.status == 404 && any) {
        res.status = 200;
        res.set_content(any(req.target), "application/octet-stream");
      }
    }
    Locked(*this, [](Impl& impl) { --impl.inFlight; });
  }

  void AnswerDeclared(const DeclaredResponse& declared, int clientPort, httplib::Response& res) {
    PauseUnless(stopping, declared.DelayMs);
    res.status = declared.Status;
    for (const auto& [name, value] : declared.Headers) res.set_header(name, value);
    switch (declared.How) {
      case Delivery::Normal: res.set_content(declared.Body, declared.ContentType); break;
      case Delivery::Chunked: DeliverChunked(res, declared, true); break;
      case Delivery::BrokenChunked: DeliverChunked(res, declared, false); break;
      case Delivery::ShortBody: DeliverHalf(res, declared, [] { return false; }); break;
      case Delivery::Stall:
        DeliverHalf(res, declared, [this, ms = declared.StallMs] {
          PauseUnless(stopping, ms);
          return !stopping;
        });
        break;
      case Delivery::Drop:
        // Whatever httplib then writes goes nowhere: the client sees the
        // connection close without a response.
        ForClientSocket(port, clientPort, [](int fd) { ::shutdown(fd, SHUT_RDWR); });
        break;
      case Delivery::Reset:
        // A connect to AF_UNSPEC disconnects the TCP socket at once with a
        // RST, before httplib gets to end it in order.
        DeliverHalf(res, declared, [this, clientPort] {
          ForClientSocket(port, clientPort, [](int fd) {
            sockaddr unspecified{};
            unspecified.sa_family = AF_UNSPEC;
            ::connect(fd, &unspecified, sizeof unspecified);
          });
          return false;
        });
        break;
    }
  }

  static void AnswerFromFolder(const std::string& root, const httplib::Request& req,
                               httplib::Response& res) {
    res.status = 404;
    const fs::path file = fs::path(root) / (req.path.empty() ? "" : req.path.substr(1));
    std::error_code ec;
    if (root.empty() || req.path.size() < 2 || req.path.find("..") != std::string::npos ||
        !fs::is_regular_file(file, ec)) {
      return;
    }
    const std::time_t modified = std::chrono::system_clock::to_time_t(
        std::chrono::file_clock::to_sys(fs::last_write_time(file, ec)));
    const std::string etag =
        "\"" + std::to_string(fs::file_size(file, ec)) + "-" + std::to_string(modified) + "\"";
    const std::string lastModified = HttpDate(modified);
    res.set_header("ETag", etag);
    res.set_header("Last-Modified", lastModified);
    const bool unchanged = req.has_header("If-None-Match")
                               ? req.get_header_value("If-None-Match") == etag
                               : req.get_header_value("If-Modified-Since") == lastModified;
    res.status = unchanged ? 304 : 200;
    if (unchanged) return;
    std::ifstream in(file, std::ios::binary);
    res.set_content(std::string(std::istreambuf_iterator<char>(in), {}), "application/octet-stream");
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
  impl_->stopping = true;
  impl_->server->stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

int TestServer::Port() const { return impl_->port; }
std::string TestServer::BaseUrl() const {
  return std::string(impl_->https ? "https" : "http") + "://127.0.0.1:" + std::to_string(impl_->port);
}

void TestServer::ServeFolder(const std::string& folder) {
  Locked(*impl_, [&](Impl& impl) { impl.folder = folder; });
}
void TestServer::DelayFolderAnswers(int ms) {
  Locked(*impl_, [&](Impl& impl) { impl.folderDelayMs = ms; });
}
void TestServer::Declare(const std::string& path, DeclaredResponse response) {
  Locked(*impl_, [&](Impl& impl) { impl.declared[path] = std::move(response); });
}
void TestServer::Declare(const std::string& path, const std::string& body,
                         const std::string& contentType) {
  Declare(path, DeclaredResponse{.Body = body, .ContentType = contentType});
}
void TestServer::AnswerAnyPath(std::function<std::string(const std::string& target)> body) {
  Locked(*impl_, [&](Impl& impl) { impl.anyPath = std::move(body); });
}
void TestServer::Redirect(const std::string& from, const std::string& to, int status) {
  Declare(from, DeclaredResponse{.Status = status, .Body = "moved", .Headers = {{"Location", to}}});
}

int TestServer::RequestCount(const std::string& path) const {
  return Locked(*impl_, [&](Impl& impl) { return impl.counts[path]; });
}
std::vector<SeenRequest> TestServer::Requests() const {
  return Locked(*impl_, [](Impl& impl) { return impl.seen; });
}
int TestServer::ConnectionCount() const {
  return Locked(*impl_, [](Impl& impl) { return static_cast<int>(impl.clientPorts.size()); });
}
int TestServer::MaxConcurrentRequests() const {
  return Locked(*impl_, [](Impl& impl) { return impl.maxInFlight; });
}
void TestServer::ResetCounts() {
  Locked(*impl_, [](Impl& impl) {
    impl.counts.clear();
    impl.seen.clear();
    impl.clientPorts.clear();
    impl.maxInFlight = impl.inFlight;
  });
}

}  // namespace kestrelin::test
