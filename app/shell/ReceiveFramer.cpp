#include "ReceiveFramer.h"

#include <utility>

namespace torvane {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kQuote = '"';

// Tagged framing: printable characters and the carriage return stay; anything
// else (line feed, tab, codes above 126) ends a record.
char MapTagged(char c) {
  const auto code = static_cast<unsigned char>(c);
  if ((code >= 32 && code <= 126) || c == kCarriageReturn) return c;
  return kCarriageReturn;
}

bool StartsRecord(char c, Framing framing) {
  if (framing == Framing::kCommand) return c == '~';
  const auto code = static_cast<unsigned char>(c);
  return code >= 'A' && code <= 'z';
}

}  // namespace

Framing FramingFor(bool fromNetwork, bool timingTcpActive) {
  return fromNetwork && timingTcpActive ? Framing::kCommand : Framing::kTagged;
}

ReceiveFramer::ReceiveFramer(RecordHandler handler) : handler_(std::move(handler)) {}

void ReceiveFramer::Reset() {
  buffer_.clear();
  examined_ = 0;
  record_.clear();
  awaitingStart_ = true;
  collecting_ = false;
  busy_ = false;
}

void ReceiveFramer::Receive(std::string_view text, Framing framing) {
  buffer_.append(text);
  Examine(framing);
}

void ReceiveFramer::Examine(Framing framing) {
  if (busy_) return;  // the loop already running reaches the new text
  busy_ = true;
  timingDataSeen_ = true;
  struct BusyGuard {
    ReceiveFramer& framer;
    ~BusyGuard() {
      framer.busy_ = false;
      framer.buffer_.erase(0, framer.examined_);
      framer.examined_ = 0;
    }
  } guard{*this};
  // Indexing rather than erasing keeps the loop linear; a handler may append.
  while (examined_ < buffer_.size()) {
    char c = buffer_[examined_++];
    if (framing == Framing::kTagged) c = MapTagged(c);
    Take(c, framing);
  }
}

void ReceiveFramer::Take(char c, Framing framing) {
  if (collecting_) {
    if (c == kCarriageReturn) {
      std::string record = std::move(record_);
      record.push_back(c);
      record_.clear();
      awaitingStart_ = true;
      collecting_ = false;
      if (handler_) handler_(framing, record);
      return;
    }
    if (framing == Framing::kTagged && c == kQuote) return;
    if (record_.size() < kMaxRecordLength) {
      record_.push_back(c);
      return;
    }
    // Overlong: drop what was collected and look for the next start.
    ++overlongRecords_;
    record_.clear();
    collecting_ = false;
    awaitingStart_ = true;
  }
  if (awaitingStart_ && StartsRecord(c, framing)) {
    record_.assign(1, c);
    awaitingStart_ = false;
    collecting_ = true;
  }
}

}  // namespace torvane
