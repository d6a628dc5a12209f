#include "ViewerCrowd.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <cstdlib>
#include <fstream>
#include <string>

namespace torvane {

namespace net = boost::asio;
using tcp = net::ip::tcp;

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

LatencyFigures Latencies(const std::vector<CardChange>& changes,
                         const std::vector<std::vector<Arrival>>& viewers) {
  LatencyFigures figures;
  std::vector<double> every;
  for (const std::vector<Arrival>& got : viewers) {
    // Streams only move forward, so the first arrival at or past a change is
    // where it came in.
    for (const CardChange& change : changes) {
      const auto it = std::find_if(got.begin(), got.end(),
                                   [&](const Arrival& a) { return a.id >= change.sequence; });
      if (it == got.end()) {
        ++figures.missed;
        continue;
      }
      every.push_back(std::chrono::duration<double, std::milli>(it->at - change.at).count());
    }
  }
  figures.samples = every.size();
  if (every.empty()) return figures;
  std::sort(every.begin(), every.end());
  const auto at = [&](double q) {
    return every[static_cast<size_t>(q * static_cast<double>(every.size() - 1))];
  };
  figures.p50Ms = at(0.5);
  figures.p99Ms = at(0.99);
  figures.worstMs = every.back();
  return figures;
}

class ViewerCrowd::Impl {
 public:
  struct Viewer {
    explicit Viewer(net::io_context& ioc) : socket(ioc) {}
    tcp::socket socket;
    std::string head;  // the message's first kHeadBytes
    bool afterNewline = false;
    bool begun = false;
  };

  Impl(ViewerCrowd& crowd, uint16_t port, int count) : crowd_(crowd) {
    const tcp::endpoint server(net::ip::make_address("127.0.0.1"), port);
    for (int i = 0; i < count; ++i) {
      viewers_.push_back(std::make_unique<Viewer>(ioc_));
      Viewer& v = *viewers_.back();
      v.socket.async_connect(server, [this, &v, i](boost::system::error_code ec) {
        if (ec) {
          ++crowd_.failed_;
          return;
        }
        net::async_write(v.socket, net::buffer(kRequest),
                         [this, &v, i](boost::system::error_code ec, size_t) {
                           if (ec) {
                             ++crowd_.failed_;
                             return;
                           }
                           v.socket.non_blocking(true);
                           Read(v, static_cast<size_t>(i));
                         });
      });
    }
  }

  void Run() { ioc_.run(); }
  void Stop() { ioc_.stop(); }

 private:
  static constexpr std::string_view kRequest = "GET /events HTTP/1.1\r\nHost: crowd\r\n\r\n";

  static constexpr size_t kHeadBytes = 32;

  void MessageEnded(Viewer& v, size_t index, CrowdClock::time_point now) {
    const bool event = v.head.rfind("id: ", 0) == 0;
    const uint64_t id = event ? std::strtoull(v.head.c_str() + 4, nullptr, 10) : 0;
    v.head.clear();
    if (!event) return;
    if (!v.begun) {
      v.begun = true;
      ++crowd_.streaming_;
    } else {
      crowd_.arrivals_[index].push_back({id, now});
    }
  }

  // Waits until the socket can be read and then reads it into the one
  // buffer all viewers share: this thread runs one handler at a time.
  void Read(Viewer& v, size_t index) {
    v.socket.async_wait(tcp::socket::wait_read, [this, &v, index](boost::system::error_code ec) {
      size_t n = 0;
      if (!ec) n = v.socket.read_some(net::buffer(chunk_), ec);
      if (ec == net::error::would_block) {
        Read(v, index);
        return;
      }
      if (ec) {
        ++crowd_.failed_;
        return;
      }
      const CrowdClock::time_point now = CrowdClock::now();
      // Only a message's first bytes matter (its id), so a viewer keeps no
      // more than those: the bench measures the server's memory, not its own.
      for (size_t i = 0; i < n; ++i) {
        const char c = chunk_[i];
        if (v.head.size() < kHeadBytes) v.head += c;
        if (c == '\n' && v.afterNewline) {
          MessageEnded(v, index, now);
          v.afterNewline = false;
          continue;
        }
        v.afterNewline = c == '\n';
      }
      Read(v, index);
    });
  }

  ViewerCrowd& crowd_;
  net::io_context ioc_;
  std::vector<std::unique_ptr<Viewer>> viewers_;
  std::array<char, 65536> chunk_{};
};

ViewerCrowd::ViewerCrowd(uint16_t port, int viewers)
    : arrivals_(static_cast<size_t>(std::max(0, viewers))) {
  impl_ = std::make_unique<Impl>(*this, port, viewers);
  thread_ = std::thread([this] { impl_->Run(); });
}

ViewerCrowd::~ViewerCrowd() { Stop(); }

void ViewerCrowd::Stop() {
  if (!thread_.joinable()) return;
  impl_->Stop();
  thread_.join();
  impl_.reset();  // closes the sockets
}

}  // namespace torvane
