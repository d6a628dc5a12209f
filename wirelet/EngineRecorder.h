// Test helper: an engine on a PollWatcher with every event written to a log
// line ("DataIn AB 1", "Connected 10061 [10061] Connection refused" ...).
#ifndef TORVANE_WIRELET_ENGINERECORDER_H_
#define TORVANE_WIRELET_ENGINERECORDER_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PollWatcher.h"
#include "SocketEngine.h"

namespace torvane::testing {

class EngineRecorder : public EngineEvents {
 public:
  EngineRecorder() {
    auto watcher = std::make_unique<PollWatcher>();
    watcher_ = watcher.get();
    engine = std::make_unique<SocketEngine>(*this, std::move(watcher));
  }
  ~EngineRecorder() { engine.reset(); }

  void OnConnected(int code, const std::string& description) override {
    Add("Connected " + std::to_string(code) + " " + description);
    if (onConnected) onConnected(code);
  }
  void OnConnectionStatus(const std::string& event, int code,
                          const std::string& description) override {
    Add("Status " + event + " " + std::to_string(code) + " " + description);
  }
  void OnDataIn(std::string_view bytes, bool eol) override {
    Add("DataIn " + std::string(bytes) + " " + (eol ? "1" : "0"));
    if (onDataIn) onDataIn(bytes, eol);
  }
  void OnDisconnected(int code, const std::string& description) override {
    Add("Disconnected " + std::to_string(code) + " " + description);
    if (onDisconnected) onDisconnected(code);
  }
  void OnError(int code, const std::string& description) override {
    Add("Error " + std::to_string(code) + " " + description);
  }
  void OnReadyToSend() override { ++readyToSend; }

  // Runs the loop until pred holds (5 s at most).
  bool PumpUntil(const std::function<bool()>& pred, int ms = 5000) {
    return watcher_->RunUntil(pred, ms);
  }
  bool PumpUntilLogged(const std::string& line, int ms = 5000) {
    return PumpUntil([&] { return Logged(line); }, ms);
  }
  bool Logged(const std::string& line) const {
    for (const auto& entry : log) {
      if (entry == line) return true;
    }
    return false;
  }
  // Log lines that start with prefix.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> lines;
    for (const auto& entry : log) {
      if (entry.rfind(prefix, 0) == 0) lines.push_back(entry);
    }
    return lines;
  }
  PollWatcher& Watcher() { return *watcher_; }

  std::unique_ptr<SocketEngine> engine;
  std::vector<std::string> log;
  int readyToSend = 0;
  std::function<void(std::string_view, bool)> onDataIn;
  std::function<void(int)> onConnected;
  std::function<void(int)> onDisconnected;

 private:
  void Add(std::string line) { log.push_back(std::move(line)); }
  PollWatcher* watcher_ = nullptr;
};

}  // namespace torvane::testing

#endif  // TORVANE_WIRELET_ENGINERECORDER_H_
