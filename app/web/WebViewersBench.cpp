// Many phones on one card stream: N viewers on loopback follow the cards while
// changed cards are published every 200 ms; prints how long a change took to
// reach every viewer (p50, p99, worst) and the process's memory per viewer.
//
//   web_bench [--viewers N] [--changes N]
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Globals.h"
#include "ImageBuilder.h"
#include "SettingsStore.h"
#include "WebServer.h"

namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

struct Viewer {
  explicit Viewer(net::io_context& ioc) : socket(ioc) {}
  tcp::socket socket;
  std::array<char, 8192> chunk{};
  std::string tail;
};

}  // namespace

int main(int argc, char** argv) {
  int viewers = 500;
  int changes = 30;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--viewers") viewers = std::atoi(argv[i + 1]);
    if (flag == "--changes") changes = std::atoi(argv[i + 1]);
  }
  using namespace torvane;
  SettingsStore settings;
  Globals g;
  ImageBuilder builder(g, settings);
  g.Pages.SetTitle(0, "Index");
  builder.BuildIndexTable();
  builder.BuildImage();
  builder.BuildIndexTable();
  auto snapshots = std::make_shared<StationSnapshots>();
  WebServer server(snapshots);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  std::mutex mutex;
  std::vector<Clock::time_point> published(static_cast<size_t>(changes) + 1);
  std::vector<std::vector<double>> latencyMs(static_cast<size_t>(changes) + 1);
  std::atomic<int> streaming{0};

  const double before = ResidentMb();
  net::io_context ioc;
  std::vector<std::unique_ptr<Viewer>> all;
  const std::string request = "GET /events HTTP/1.1\r\nHost: bench\r\n\r\n";
  for (int i = 0; i < viewers; ++i) {
    auto viewer = std::make_unique<Viewer>(ioc);
    viewer->socket.connect({net::ip::make_address("127.0.0.1"), server.Port()});
    net::write(viewer->socket, net::buffer(request));
    all.push_back(std::move(viewer));
  }
  std::function<void(Viewer&)> read = [&](Viewer& v) {
    v.socket.async_read_some(net::buffer(v.chunk), [&, pv = &v](boost::system::error_code ec,
                                                                size_t n) {
      if (ec) return;
      const auto now = Clock::now();
      pv->tail.append(pv->chunk.data(), n);
      for (size_t at; (at = pv->tail.find("\n\n")) != std::string::npos;) {
        const std::string message = pv->tail.substr(0, at);
        pv->tail.erase(0, at + 2);
        if (message.rfind("id: ", 0) != 0) continue;
        const int id = std::atoi(message.c_str() + 4);
        if (id == 0) {
          ++streaming;
        } else if (id <= changes) {
          std::lock_guard<std::mutex> lock(mutex);
          latencyMs[static_cast<size_t>(id)].push_back(
              std::chrono::duration<double, std::milli>(now - published[static_cast<size_t>(id)])
                  .count());
        }
      }
      read(*pv);
    });
  };
  for (auto& v : all) read(*v);
  std::thread clients([&] { ioc.run(); });
  while (streaming < viewers) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const double connected = ResidentMb();

  for (int change = 1; change <= changes; ++change) {
    g.Pages.SetLine(0, change % 10, "RESULT " + std::to_string(change));
    builder.BuildImage();
    builder.BuildIndexTable();
    auto cards = std::make_shared<CardSnapshot>();
    cards->sequence = static_cast<uint64_t>(change);
    cards->image = g.MapImage;
    {
      std::lock_guard<std::mutex> lock(mutex);
      published[static_cast<size_t>(change)] = Clock::now();
    }
    snapshots->PublishCards(std::move(cards));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ioc.stop();
  clients.join();

  std::vector<double> every;
  size_t missing = 0;
  for (int change = 1; change <= changes; ++change) {
    const auto& got = latencyMs[static_cast<size_t>(change)];
    missing += static_cast<size_t>(viewers) - got.size();
    every.insert(every.end(), got.begin(), got.end());
  }
  std::sort(every.begin(), every.end());
  const auto at = [&](double q) {
    return every.empty() ? 0.0
                         : every[static_cast<size_t>(q * static_cast<double>(every.size() - 1))];
  };
  std::printf(
      "viewers %d, changes %d: change to viewer p50 %.1f ms, p99 %.1f ms, worst %.1f ms, "
      "missed %zu\n",
      viewers, changes, at(0.5), at(0.99), every.empty() ? 0.0 : every.back(), missing);
  std::printf(
      "resident memory %.1f MB before, %.1f MB with the viewers: %.1f KB a viewer (server and "
      "client side together, kernel buffers not counted)\n",
      before, connected, (connected - before) * 1000.0 / viewers);
  return 0;
}
