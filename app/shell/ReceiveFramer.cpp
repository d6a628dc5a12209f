#include "ReceiveFramer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace torvane {
namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kQuote = '"';
// Receive buffer room kept between arrivals; more goes back once the loop is done.
constexpr size_t kKeptCapacity = 64 * 1024;

// Tagged framing: printable characters and the carriage return stay; anything
// else (line feed, tab, codes above 126) ends a record.
char MapTagged(char c) {
  const auto code = static_cast<unsigned char>(c);
  if ((code >= 32 && code <= 126) || c == kCarriageReturn) return c;
  return kCarriageReturn;
}

// Where the run of characters from text[begin] that a record being collected
// keeps as they are (nothing ends the record or is dropped) stops, at most at
// limit.
size_t PlainRunEnd(const char* text, size_t begin, size_t limit, Framing framing) {
  if (framing == Framing::kCommand) {
    const void* end = std::memchr(text + begin, kCarriageReturn, limit - begin);
    return end == nullptr ? limit : static_cast<size_t>(static_cast<const char*>(end) - text);
  }
  size_t end = begin;
  for (; end < limit; ++end) {
    const auto code = static_cast<unsigned char>(text[end]);
    if (code < 32 || code > 126 || code == kQuote) break;
  }
  return end;
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

ReceiveFramer::ReceiveFramer(RecordHandler handler, size_t maxWaiting)
    : handler_(std::move(handler)), maxWaiting_(maxWaiting) {}

void ReceiveFramer::Reset() {
  buffer_.clear();
  examined_ = 0;
  record_.clear();
  awaitingStart_ = true;
  collecting_ = false;
  discarding_ = false;
  busy_ = false;
  cutPending_ = false;
}

void ReceiveFramer::Receive(std::string_view text, Framing framing) {
  if (busy_) {
    Queue(text, framing);  // the loop already running reaches it
    return;
  }
  if (cutPending_) {
    // Only a handler that threw leaves text waiting in front of a cut. It goes
    // with the cut rather than being spliced to what comes now.
    droppedBytes_ += Waiting();
    buffer_.clear();
    examined_ = 0;
    ResumeAfterCut();
  }
  buffer_.append(text);
  Examine(framing);
}

bool ReceiveFramer::AbandonRecord() {
  const bool dropped = collecting_;
  if (dropped) ++abandonedRecords_;
  record_.clear();
  collecting_ = false;
  // The skip of an overlong line ends with the link that sent it.
  discarding_ = false;
  awaitingStart_ = true;
  return dropped;
}

void ReceiveFramer::Queue(std::string_view text, Framing framing) {
  // Examined characters go once they outweigh the rest, so a loop that is fed
  // again from every handler call does not keep all it has seen.
  if (examined_ > 0 && examined_ >= buffer_.size() - examined_) {
    buffer_.erase(0, examined_);
    examined_ = 0;
  }
  // After a cut nothing more is taken until the loop has reached it: text
  // kept behind the cut would be spliced to the text in front of it.
  const size_t room = cutPending_ ? 0 : maxWaiting_ - std::min(maxWaiting_, Waiting());
  const size_t kept = std::min(room, text.size());
  buffer_.append(text.substr(0, kept));
  if (kept == text.size()) return;
  const std::string_view dropped = text.substr(kept);
  droppedBytes_ += dropped.size();
  const char last = framing == Framing::kTagged ? MapTagged(dropped.back()) : dropped.back();
  cutPending_ = true;
  cutEndedLine_ = last == kCarriageReturn;
}

void ReceiveFramer::ResumeAfterCut() {
  cutPending_ = false;
  record_.clear();
  collecting_ = false;
  discarding_ = !cutEndedLine_;
  awaitingStart_ = cutEndedLine_;
}

void ReceiveFramer::Examine(Framing framing) {
  busy_ = true;
  timingDataSeen_ = true;
  struct BusyGuard {
    ReceiveFramer& framer;
    ~BusyGuard() {
      framer.busy_ = false;
      framer.buffer_.erase(0, framer.examined_);
      framer.examined_ = 0;
      // A long wait behind a box must not pin its megabytes for the rest of the day.
      if (framer.buffer_.capacity() > kKeptCapacity) framer.buffer_.shrink_to_fit();
    }
  } guard{*this};
  // Indexing rather than erasing keeps the loop linear; a handler may append,
  // and may move what is left to the front (Queue).
  for (;;) {
    if (examined_ == buffer_.size()) {
      if (cutPending_) ResumeAfterCut();
      break;
    }
    if (collecting_) {
      // A run of plain characters goes onto the record at once, as far as it
      // fits: hours of text that waited behind a box are framed in moments.
      const size_t room = kMaxRecordLength - std::min(kMaxRecordLength, record_.size());
      const size_t end = PlainRunEnd(buffer_.data(), examined_,
                                     std::min(buffer_.size(), examined_ + room), framing);
      if (end > examined_) {
        record_.append(buffer_, examined_, end - examined_);
        examined_ = end;
        continue;
      }
    }
    char c = buffer_[examined_++];
    if (framing == Framing::kTagged) c = MapTagged(c);
    Take(c, framing);
  }
}

void ReceiveFramer::Take(char c, Framing framing) {
  if (discarding_) {
    if (c == kCarriageReturn) {
      discarding_ = false;
      awaitingStart_ = true;
    }
    return;
  }
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
    // Overlong: the rest of this line is the same junk, not a new record.
    ++overlongRecords_;
    record_.clear();
    collecting_ = false;
    discarding_ = true;
    return;
  }
  if (awaitingStart_ && StartsRecord(c, framing)) {
    record_.assign(1, c);
    awaitingStart_ = false;
    collecting_ = true;
  }
}

}  // namespace torvane
