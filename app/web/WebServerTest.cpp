#include "WebServer.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ImageTestSupport.h"

namespace torvane {
namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using namespace std::chrono_literals;

// A client on loopback whose every wait has a deadline.
class Client {
 public:
  explicit Client(uint16_t port, int receiveBuffer = 0) : socket_(ioc_) {
    socket_.open(tcp::v4());
    if (receiveBuffer > 0) socket_.set_option(net::socket_base::receive_buffer_size(receiveBuffer));
    socket_.connect({net::ip::make_address("127.0.0.1"), port});
  }

  void Send(const std::string& bytes) {
    boost::system::error_code ec;
    net::write(socket_, net::buffer(bytes), ec);
  }
  // Nothing more will be sent: the server sees the end at once.
  void Finish() {
    boost::system::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_send, ec);
  }

  // Reads until done(received) holds, the server closes, or timeout passes.
  template <typename Done>
  bool ReadUntil(Done done, std::chrono::milliseconds timeout = 3000ms) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done(received) && !closed && std::chrono::steady_clock::now() < deadline) {
      char chunk[4096];
      bool finished = false;
      socket_.async_read_some(net::buffer(chunk), [&](boost::system::error_code ec, size_t n) {
        received.append(chunk, n);
        if (ec) closed = true;
        finished = true;
      });
      ioc_.restart();
      ioc_.run_until(deadline);
      if (!finished) {
        socket_.cancel();
        ioc_.restart();
        ioc_.run();
      }
    }
    return done(received);
  }
  // Everything up to the server's close.
  std::string ReadAll(std::chrono::milliseconds timeout = 3000ms) {
    ReadUntil([](const std::string&) { return false; }, timeout);
    return received;
  }

  std::string received;
  bool closed = false;

 private:
  net::io_context ioc_;
  tcp::socket socket_;
};

bool Contains(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos;
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds timeout = 5000ms) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// A card of pages 0..2 whose page 1 gets a new line for every publish.
class WebServerTest : public testing::ImageFixture {
 protected:
  WebServerTest() {
    g_->Pages.SetTitle(0, "Index");
    g_->Pages.SetLine(0, 0, "Results");
    g_->Pages.SetLink(0, 0, 1);
    BuildAll();
    options_.maxConnections = 8;
    options_.requestTimeoutMs = 400;
    options_.writeTimeoutMs = 400;
    options_.pollMs = 10;
    options_.heartbeatMs = 200;
    options_.maxQueuedMessages = 4;
    options_.sendBufferBytes = 4096;
  }

  void StartServer() {
    server_ = std::make_unique<WebServer>(snapshots_, options_);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  void SetUp() override { StartServer(); }

  // Publishes the card with line `row` of page 1 set to text.
  void Publish(int row, const std::string& text) {
    g_->Pages.SetLine(1, row, text);
    BuildAll();
    auto cards = std::make_shared<CardSnapshot>();
    cards->sequence = ++sequence_;
    cards->image = g_->MapImage;
    snapshots_->PublishCards(std::move(cards));
  }

  std::string Get(const std::string& request) {
    Client client(server_->Port());
    client.Send(request);
    return client.ReadAll();
  }

  // The server still answers an ordinary request.
  bool Serves() {
    return Get("GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
               .rfind("HTTP/1.1 200 OK", 0) == 0;
  }

  std::shared_ptr<StationSnapshots> snapshots_ = std::make_shared<StationSnapshots>();
  WebServerOptions options_;
  std::unique_ptr<WebServer> server_;
  uint64_t sequence_ = 0;
};

struct RouteCase {
  const char* name;
  const char* target;
  const char* status;
  const char* contentType;
  const char* body;
};

class WebRouteTest : public WebServerTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(WebRouteTest, AnswersFromMemory) {
  const RouteCase& c = GetParam();
  const std::string response =
      Get(std::string("GET ") + c.target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(response.rfind(std::string("HTTP/1.1 ") + c.status, 0), 0U) << response.substr(0, 200);
  EXPECT_TRUE(Contains(response, std::string("Content-Type: ") + c.contentType))
      << response.substr(0, 300);
  EXPECT_TRUE(Contains(response, c.body)) << response.substr(0, 300);
}

INSTANTIATE_TEST_SUITE_P(
    Web, WebRouteTest,
    ::testing::Values(
        RouteCase{"Page", "/", "200 OK", "text/html", "new EventSource(\"/events\")"},
        RouteCase{"PageWithQuery", "/?from=qr", "200 OK", "text/html", "EventSource"},
        RouteCase{"Cards", "/cards.json", "200 OK", "application/json", "{\"sequence\":0,"},
        RouteCase{"Status", "/status", "200 OK", "text/html", "Link health"},
        RouteCase{"StatusJson", "/status.json", "200 OK", "application/json", "\"acks\":0"},
        RouteCase{"Metrics", "/metrics", "200 OK", "text/plain; version=0.0.4",
                  "# TYPE torvane_acks_total counter"},
        RouteCase{"Unknown", "/nothing", "404 Not Found", "text/plain", "not found"},
        RouteCase{"Traversal", "/../etc/passwd", "404 Not Found", "text/plain", "not found"},
        RouteCase{"EncodedTraversal", "/%2e%2e/%2e%2e/etc/passwd", "404 Not Found", "text/plain",
                  "not found"},
        RouteCase{"TraversalBehindARoute", "/status/../../../etc/passwd", "404 Not Found",
                  "text/plain", "not found"},
        RouteCase{"DoubleSlash", "//etc/passwd", "404 Not Found", "text/plain", "not found"},
        RouteCase{"Backslashes", "/..\\..\\windows\\win.ini", "404 Not Found", "text/plain",
                  "not found"}),
    [](const auto& info) { return std::string(info.param.name); });

struct MethodCase {
  const char* name;
  const char* request;
};

class WebMethodTest : public WebServerTest, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(WebMethodTest, OnlyGetAndHeadAreAnswered) {
  const std::string response = Get(GetParam().request);
  EXPECT_EQ(response.rfind("HTTP/1.1 405 Method Not Allowed", 0), 0U) << response;
  EXPECT_TRUE(Contains(response, "Allow: GET, HEAD"));
  EXPECT_TRUE(Serves());
}

INSTANTIATE_TEST_SUITE_P(
    Web, WebMethodTest,
    ::testing::Values(
        MethodCase{"Post", "POST /status HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\na=1"},
        MethodCase{"PostHuge", "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999\r\n\r\n"},
        MethodCase{"Put", "PUT /cards.json HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n"},
        MethodCase{"Delete", "DELETE /events HTTP/1.1\r\nHost: x\r\n\r\n"},
        MethodCase{"Options", "OPTIONS * HTTP/1.1\r\nHost: x\r\n\r\n"},
        MethodCase{"Patch", "PATCH / HTTP/1.1\r\nHost: x\r\n\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebServerTest, HeadTellsTheLengthWithoutTheBody) {
  const std::string get = Get("GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string head =
      Get("HEAD /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  ASSERT_EQ(head.rfind("HTTP/1.1 200 OK", 0), 0U) << head;
  const size_t bodyAt = get.find("\r\n\r\n") + 4;
  EXPECT_TRUE(Contains(head, "Content-Length: " + std::to_string(get.size() - bodyAt))) << head;
  EXPECT_EQ(head.size(), head.find("\r\n\r\n") + 4) << "a body after HEAD";
}

TEST_F(WebServerTest, Http10IsAnsweredInKindAndClosed) {
  Client client(server_->Port());
  client.Send("GET /cards.json HTTP/1.0\r\n\r\n");
  const std::string response = client.ReadAll();
  EXPECT_EQ(response.rfind("HTTP/1.0 200 OK", 0), 0U) << response;
  EXPECT_TRUE(client.closed) << "HTTP/1.0 without keep-alive stays open";
}

TEST_F(WebServerTest, PipelinedRequestsAreAnsweredInOrder) {
  Client client(server_->Port());
  client.Send(
      "GET /cards.json HTTP/1.1\r\nHost: x\r\n\r\n"
      "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n"
      "HEAD / HTTP/1.1\r\nHost: x\r\n\r\n"
      "GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  const std::string all = client.ReadAll();
  const size_t cards = all.find("{\"sequence\":");
  const size_t metrics = all.find("torvane_acks_total");
  const size_t page = all.find("Content-Type: text/html");
  const size_t status = all.find("\"uptimeSeconds\"");
  ASSERT_NE(status, std::string::npos) << all;
  EXPECT_LT(cards, metrics);
  EXPECT_LT(metrics, page);
  EXPECT_LT(page, status);
  EXPECT_TRUE(client.closed);
}

struct GarbageCase {
  const char* name;
  std::string bytes;
};

class WebGarbageTest : public WebServerTest, public ::testing::WithParamInterface<GarbageCase> {};

TEST_P(WebGarbageTest, IsRefusedAndTheServerGoesOn) {
  Client client(server_->Port());
  client.Send(GetParam().bytes);
  const std::string response = client.ReadAll();
  EXPECT_TRUE(client.closed);
  EXPECT_EQ(response.find("200 OK"), std::string::npos) << response;
  if (!response.empty()) {
    EXPECT_EQ(response.rfind("HTTP/1.1 4", 0), 0U) << response;
  }
  EXPECT_TRUE(Serves());
}

std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += static_cast<char>((i * 7919) % 256);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Web, WebGarbageTest,
    ::testing::Values(
        GarbageCase{"BinaryNoise", Binary()}, GarbageCase{"BlankLines", "\r\n\r\n\r\n\r\n"},
        GarbageCase{"UnknownVersion", "GET / HTTP/9.9\r\n\r\n"},
        GarbageCase{"NoVersion", "GET /\r\n\r\n"},
        GarbageCase{"SpaceInTarget", "GET /a b HTTP/1.1\r\nHost: x\r\n\r\n"},
        GarbageCase{"BadHeaderLine", "GET / HTTP/1.1\r\nno colon here\r\n\r\n"},
        GarbageCase{"LongTarget", "GET /" + std::string(2000, 'a') + " HTTP/1.1\r\n\r\n"},
        GarbageCase{"OneMegabyteHeader", "GET / HTTP/1.1\r\nHost: x\r\nX-Big: " +
                                             std::string(1 << 20, 'b') + "\r\n\r\n"},
        GarbageCase{"BodyOnAGet", "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 4\r\n\r\nabcd"}),
    [](const auto& info) { return std::string(info.param.name); });

// Requests bent at random: whatever the parser makes of them, each gets an
// answer of the server's own or a close, and the server goes on.
TEST_F(WebServerTest, MutatedRequestsAreAnsweredOrClosedAndTheServerGoesOn) {
  const std::string seeds[] = {
      "GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
      "GET /?page=1 HTTP/1.1\r\nHost: x\r\nAccept: */*\r\n\r\nHEAD /metrics HTTP/1.1\r\n\r\n",
      "GET /cards.json HTTP/1.0\r\nUser-Agent: phone\r\n\r\n",
      "POST /status HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello",
      "GET /status HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: "
      "chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
  };
  static constexpr char kAlphabet[] = "\r\n :/?%#.\0\x7f\xff\t09AZaz";
  const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
  std::mt19937 random(26);
  const auto pick = [&](size_t n) {
    return static_cast<size_t>(random() % std::max<size_t>(n, 1));
  };
  const std::set<std::string> statuses = {"200", "400", "404", "405", "414", "431"};
  for (int i = 0; i < 400; ++i) {
    std::string bytes = seeds[pick(std::size(seeds))];
    for (size_t edits = 1 + pick(4); edits > 0; --edits) {
      const size_t at = pick(bytes.size());
      switch (pick(5)) {
        case 0:
          bytes[at] = alphabet[pick(alphabet.size())];
          break;
        case 1:
          bytes.insert(at, 1, alphabet[pick(alphabet.size())]);
          break;
        case 2:
          bytes.erase(at, 1 + pick(8));
          break;
        case 3:
          bytes.resize(at);
          break;
        default:
          bytes.insert(at, bytes.substr(at, pick(40)));
          break;
      }
    }
    Client client(server_->Port());
    client.Send(bytes);
    client.Finish();
    const std::string reply = client.ReadAll(1000ms);
    // Each answer in the pipeline is one of the server's.
    for (size_t at = reply.find("HTTP/1."); at != std::string::npos;
         at = reply.find("HTTP/1.", at + 1)) {
      if (at + 12 > reply.size() || reply[at + 8] != ' ') continue;  // inside a body
      EXPECT_EQ(statuses.count(reply.substr(at + 9, 3)), 1U) << ::testing::PrintToString(bytes);
    }
    EXPECT_TRUE(reply.empty() || reply.rfind("HTTP/1.", 0) == 0) << ::testing::PrintToString(bytes);
    EXPECT_TRUE(client.closed) << ::testing::PrintToString(bytes);
  }
  EXPECT_TRUE(Serves());
  EXPECT_TRUE(WaitFor([&] { return server_->Figures().connections == 0; }));
}

TEST_F(WebServerTest, ConnectionsPastTheCapAreTurnedAway) {
  std::vector<std::unique_ptr<Client>> idle;
  for (size_t i = 0; i < options_.maxConnections; ++i) {
    idle.push_back(std::make_unique<Client>(server_->Port()));
  }
  ASSERT_TRUE(WaitFor([&] { return server_->Figures().connections == options_.maxConnections; }));
  Client late(server_->Port());
  late.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(late.ReadAll().rfind("HTTP/1.1 503 Service Unavailable", 0), 0U) << late.received;
  EXPECT_EQ(server_->Figures().refused, 1U);
  idle.clear();
  EXPECT_TRUE(WaitFor([&] { return server_->Figures().connections == 0; }));
  EXPECT_TRUE(Serves());
}

TEST_F(WebServerTest, HalfOpenConnectionsTimeOutAndFreeTheirPlaces) {
  std::vector<std::unique_ptr<Client>> halfOpen;
  for (int i = 0; i < 100; ++i) {
    halfOpen.push_back(std::make_unique<Client>(server_->Port()));
    if (i % 2 == 0) halfOpen.back()->Send("GET / HTTP/1.1\r\nHost:");  // never finished
  }
  // Those over the cap were closed at once, the others once their time ran out.
  ASSERT_TRUE(WaitFor([&] { return server_->Figures().refused == 100U - options_.maxConnections; }))
      << server_->Figures().refused;
  EXPECT_TRUE(WaitFor([&] { return server_->Figures().connections == 0; }));
  EXPECT_TRUE(Serves());
}

#ifndef _WIN32
// Holds every descriptor the process may still open, all but `spare`, until
// released; the limit is lowered meanwhile so that takes few.
class DescriptorHog {
 public:
  explicit DescriptorHog(int spare) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit low = saved_;
    low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 512);
    setrlimit(RLIMIT_NOFILE, &low);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) held_.push_back(fd);
    for (int i = 0; i < spare && !held_.empty(); ++i) Close();
  }
  ~DescriptorHog() { Release(); }
  void Release() {
    while (!held_.empty()) Close();
    setrlimit(RLIMIT_NOFILE, &saved_);
  }

 private:
  void Close() {
    ::close(held_.back());
    held_.pop_back();
  }
  rlimit saved_{};
  std::vector<int> held_;
};

// What a client gets on a plain socket: an asio client would need more than
// the one descriptor left.
std::string AskOnPlainSocket(int fd, const std::string& request) {
  if (::send(fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
    return "send failed";
  }
  std::string reply;
  char chunk[4096];
  for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 3000) > 0;) {
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    reply.append(chunk, static_cast<size_t>(n));
  }
  return reply;
}

TEST_F(WebServerTest, OutOfDescriptorsPausesAcceptingAndServesOnceTheyAreBack) {
  DescriptorHog hog(1);
  const int waiting = ::socket(AF_INET, SOCK_STREAM, 0);  // the one spare
  ASSERT_GE(waiting, 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(server_->Port());
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(waiting, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);
  ASSERT_TRUE(WaitFor([&] { return server_->Figures().acceptFailures >= 1; }));
  std::this_thread::sleep_for(500ms);
  // A pause between tries, not a thread spinning on the failed accept.
  EXPECT_LE(server_->Figures().acceptFailures, 20U);
  hog.Release();
  const std::string reply = AskOnPlainSocket(
      waiting, "GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  ::close(waiting);
  EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK", 0), 0U) << reply;
  EXPECT_TRUE(Serves());
}
#endif

TEST_F(WebServerTest, StreamSendsTheWholeCardThenWhatChanged) {
  Client viewer(server_->Port());
  viewer.Send("GET /events HTTP/1.1\r\nHost: x\r\nAccept: text/event-stream\r\n\r\n");
  ASSERT_TRUE(viewer.ReadUntil([](const std::string& r) {
    return Contains(r, "\"full\":true") && Contains(r, "\n\n");
  })) << viewer.received;
  EXPECT_EQ(viewer.received.rfind("HTTP/1.1 200 OK", 0), 0U);
  EXPECT_TRUE(Contains(viewer.received, "Content-Type: text/event-stream"));
  EXPECT_TRUE(Contains(viewer.received, "retry: 1000\n"));
  EXPECT_TRUE(Contains(viewer.received, "id: 0\ndata: {\"sequence\":0,\"full\":true"));
  EXPECT_EQ(server_->Figures().eventStreams, 1U);

  Publish(3, "1 SMITH  7.123");
  ASSERT_TRUE(viewer.ReadUntil([](const std::string& r) { return Contains(r, "7.123"); }))
      << viewer.received;
  EXPECT_TRUE(
      Contains(viewer.received, "id: 1\ndata: {\"sequence\":1,\"full\":false,\"pageCount\":3"));
  // Silence is broken by a comment, so a phone that went away is noticed.
  viewer.received.clear();
  ASSERT_TRUE(viewer.ReadUntil([](const std::string& r) { return Contains(r, ": still here"); }));

  // A viewer who comes later starts from the whole card as it is now.
  Client late(server_->Port());
  late.Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_TRUE(late.ReadUntil([](const std::string& r) { return Contains(r, "\"full\":true"); }));
  EXPECT_TRUE(Contains(late.received, "id: 1\ndata: {\"sequence\":1,\"full\":true"));
  EXPECT_TRUE(Contains(late.received, "7.123"));
}

TEST_F(WebServerTest, ViewerThatNeverReadsIsDroppedWhileOthersAreServed) {
#ifdef _WIN32
  GTEST_SKIP() << "under Wine a send to a peer that does not read completes anyway (Wine keeps "
                  "the bytes), so the stall this needs never shows; unproven on real Windows";
#endif
  Client stuck(server_->Port(), 1024);
  stuck.Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
  Client reader(server_->Port());
  reader.Send("GET /events HTTP/1.1\r\nHost: x\r\n\r\n");
  ASSERT_TRUE(WaitFor([&] { return server_->Figures().eventStreams == 2; }));
  // The reader keeps reading while changed cards are published until the
  // stuck viewer is let go.
  bool readerSawTheEnd = false;
  std::thread reading([&] {
    readerSawTheEnd =
        reader.ReadUntil([](const std::string& r) { return Contains(r, "THE END"); }, 15000ms);
  });
  int row = 0;
  const bool dropped = WaitFor([&] {
    Publish(2 + row % 10, "LINE " + std::to_string(row) + std::string(14, '.'));
    ++row;
    std::this_thread::sleep_for(2ms);
    return server_->Figures().dropped > 0 && server_->Figures().eventStreams == 1;
  });
  EXPECT_TRUE(dropped) << "streams " << server_->Figures().eventStreams << ", rows published "
                       << row << ", connections " << server_->Figures().connections;
  EXPECT_TRUE(Serves());
  Publish(1, "THE END");
  reading.join();
  EXPECT_TRUE(readerSawTheEnd) << "the reading viewer fell behind";
  EXPECT_EQ(server_->Figures().eventStreams, 1U);
}

TEST_F(WebServerTest, AddressInUseIsReportedAndNothingRuns) {
  WebServerOptions same = options_;
  same.port = server_->Port();
  WebServer second(snapshots_, same);
  std::string error;
  EXPECT_FALSE(second.Start(&error));
  EXPECT_TRUE(Contains(error, "127.0.0.1:" + std::to_string(server_->Port()))) << error;
  WebServerOptions bad = options_;
  bad.bind = "track.local";
  WebServer third(snapshots_, bad);
  EXPECT_FALSE(third.Start(&error));
  EXPECT_TRUE(Contains(error, "not an IP address")) << error;
  EXPECT_TRUE(Serves());
}

TEST_F(WebServerTest, StatusShowsThePublishedHealth) {
  auto health = std::make_shared<HealthSnapshot>();
  health->counters.acks = 12345;
  health->transmitter = {"serial", "COM1 (/dev/ttyUSB0)", true, "open"};
  snapshots_->PublishHealth(health);
  EXPECT_TRUE(Contains(Get("GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                       "\"acks\":12345"));
  EXPECT_TRUE(Contains(Get("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                       "torvane_acks_total 12345\n"));
  EXPECT_TRUE(Contains(Get("GET /status HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                       "COM1 (/dev/ttyUSB0)"));
}

}  // namespace
}  // namespace torvane
