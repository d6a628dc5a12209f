// Cuts the text that the timing system sends into records for the parsers.
//
// Command framing (network input while the TCP link is active): a record starts
// at "~" and keeps every character as received. Tagged framing (serial input,
// and network input otherwise): a record starts at any character from "A" to
// "z" (codes 65..122); printable characters (32..126) and the carriage return
// are kept, double quotes dropped, and every other character counts as a
// carriage return. Either way a carriage return ends the record and stays on
// it; text between records that does not start one is dropped. A record being
// collected survives across arrivals and across a change of framing.
//
// A record may hold at most kMaxRecordLength characters before its carriage
// return: a longer one is dropped and counted, and the rest of its line is
// skipped up to the next carriage return (in the tagged framing, anything
// that maps to one) before framing starts again.
//
// While a handler holds the loop (a message box left open), at most
// kMaxWaiting characters (or the cap given) wait behind it; what comes past
// that is dropped and counted. The record that the cut falls into cannot be
// whole, so it is dropped too, and when the dropped text did not end a line
// the framer skips to the next carriage return.
#ifndef TORVANE_APP_SHELL_RECEIVEFRAMER_H_
#define TORVANE_APP_SHELL_RECEIVEFRAMER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace torvane {

enum class Framing { kCommand, kTagged };

// The framing of text that came in from the network (fromNetwork) or the
// serial line, given the TimingTcpActive flag.
Framing FramingFor(bool fromNetwork, bool timingTcpActive);

class ReceiveFramer {
 public:
  static constexpr size_t kMaxRecordLength = 4096;
  // Hours of a 9600-baud feed (960 characters a second: almost five), so a
  // box left open while the operator is away loses no results. The buffer
  // grows only as text comes, and gives its room back once the loop is done.
  static constexpr size_t kMaxWaiting = 16 * 1024 * 1024;

  // Gets each record with its carriage return, in the framing it was cut by.
  // The handler may call Receive again (a parser that shows a message box pumps
  // events): that text is only queued and examined by the loop already running.
  using RecordHandler = std::function<void(Framing framing, const std::string& record)>;

  // maxWaiting: the cap on text waiting behind a running handler.
  explicit ReceiveFramer(RecordHandler handler, size_t maxWaiting = kMaxWaiting);

  // Empties both buffers and waits for the start of a record.
  void Reset();

  // Appends text and examines everything waiting with framing.
  void Receive(std::string_view text, Framing framing);

  // The link that was sending the record being collected is gone, and a new
  // one will not finish it: the record is dropped (and counted), so the next
  // link's first record is not spliced onto it, and framing waits for the
  // start of a record. Text still waiting behind a running handler is left
  // to that loop. True when a record was dropped.
  bool AbandonRecord();

  // Timing text arrived since the last Clear (the timing lamp).
  bool TimingDataSeen() const { return timingDataSeen_; }
  void ClearTimingDataSeen() { timingDataSeen_ = false; }

  // Records dropped for exceeding kMaxRecordLength since construction.
  uint64_t OverlongRecords() const { return overlongRecords_; }
  // Received characters dropped past the cap since construction.
  uint64_t DroppedBytes() const { return droppedBytes_; }
  // Records dropped by AbandonRecord since construction.
  uint64_t AbandonedRecords() const { return abandonedRecords_; }

  bool AwaitingStart() const { return awaitingStart_; }
  bool Collecting() const { return collecting_; }
  // Skipping the rest of a line that cannot give a whole record.
  bool Discarding() const { return discarding_; }
  bool Busy() const { return busy_; }
  // The record being collected, without its carriage return.
  const std::string& RecordBuffer() const { return record_; }
  // Received text not examined yet (only while a handler runs).
  size_t Waiting() const { return buffer_.size() - examined_; }
  // Characters the receive buffer holds, examined or not.
  size_t Held() const { return buffer_.size(); }

 private:
  void Examine(Framing framing);
  void Take(char c, Framing framing);
  // Appends as much of text as fits behind the running loop.
  void Queue(std::string_view text, Framing framing);
  void ResumeAfterCut();

  RecordHandler handler_;
  size_t maxWaiting_;
  std::string buffer_;  // the receive buffer; examined_ characters already taken off
  size_t examined_ = 0;
  std::string record_;
  bool awaitingStart_ = true;
  bool collecting_ = false;
  bool discarding_ = false;
  bool busy_ = false;
  bool timingDataSeen_ = false;
  // Text was dropped right after the end of buffer_; cutEndedLine_: its last
  // character was a carriage return.
  bool cutPending_ = false;
  bool cutEndedLine_ = false;
  uint64_t overlongRecords_ = 0;
  uint64_t droppedBytes_ = 0;
  uint64_t abandonedRecords_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_RECEIVEFRAMER_H_
