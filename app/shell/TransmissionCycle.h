// The stop-and-wait cycle that feeds the image to the transmitter: every reply
// sends one block (priority windows first, then the cyclic pass), and the
// one-second tick drives the lamps and recovers from a silent transmitter.
#ifndef TORVANE_APP_SHELL_TRANSMISSIONCYCLE_H_
#define TORVANE_APP_SHELL_TRANSMISSIONCYCLE_H_

#include <cstddef>
#include <cstdint>

#include "AcknowledgedImage.h"
#include "BlockPacket.h"
#include "Globals.h"

namespace torvane {

// Where block packets go: a serial line, or a network link to a device server.
class TransmitterLine {
 public:
  virtual ~TransmitterLine() = default;
  virtual bool IsOpen() const = 0;
  virtual void Write(const BlockPacket& packet) = 0;
};

// Brings the image region about to be sent up to date.
class ImageMaintenance {
 public:
  virtual ~ImageMaintenance() = default;
  virtual void BuildIndexTable() = 0;  // addresses below 272
  virtual void BuildImage() = 0;       // page blocks and the ticker block
};

// What the status bar shows after a tick.
struct CycleLamps {
  bool pageHold = false;
  bool ack = false;
  bool nak = false;
  bool timingSystem = false;
  int16_t bufferPosition = 0;
};

// Running totals for the operator's status line.
struct CycleCounters {
  uint64_t packetsSent = 0;
  uint64_t acks = 0;
  uint64_t escs = 0;
  uint64_t naks = 0;
  uint64_t otherReplies = 0;
  uint64_t recoveries = 0;  // blocks sent because the transmitter went silent
  uint64_t fullPasses = 0;  // times the cyclic cursor wrapped to 0
};

class TransmissionCycle {
 public:
  static constexpr int32_t kTickMs = 1000;
  static constexpr int32_t kReplyTimeoutMs = 3000;
  static constexpr int32_t kNakCountLimit = 50000;

  // "globals", "line" and "image" must outlive the cycle.
  TransmissionCycle(Globals& globals, TransmitterLine& line, ImageMaintenance& image);

  // Sends the block at cursor and advances it by 8; nothing while the line is closed.
  void SendBlock(int16_t& cursor);
  // Rebuilds the region under TxCursor (wrapping past MapEnd) and sends it.
  void CyclicStep();
  // Picks and sends the next block after reply byte b.
  void SelectNextBlock(uint8_t b);
  // The 1000 ms timer.
  CycleLamps Tick();
  // Clears the reply flags and the last sent address (start-up).
  void ResetReplyState();

  // Set by the receive framing when timing text arrives.
  void NoteTimingData() { timingDataSeen_ = true; }

  int32_t ReplyWaitMs() const { return replyWaitMs_; }
  int32_t NakCount() const { return nakCount_; }
  int16_t LastSentAddress() const { return lastSentAddress_; }
  const CycleCounters& Counters() const { return counters_; }
  // The image as the transmitter has taken it, packet by acknowledged packet.
  const AcknowledgedImage& Acknowledged() const { return acknowledged_; }

 private:
  // The first pending window of LineWindows 1..10, BodyWindow, PageWindow; or null.
  SendWindow* FirstPendingWindow();
  void SendFromWindow(SendWindow& window);

  Globals& g_;
  TransmitterLine& line_;
  ImageMaintenance& image_;

  int32_t replyWaitMs_ = 0;
  int32_t nakCount_ = 0;
  bool ackSeen_ = false;
  bool nakSeen_ = false;
  bool timingDataSeen_ = false;
  int16_t lastSentAddress_ = 0;
  // The packet awaiting its reply; the first ACK or ESC after it accepts it.
  BlockPacket inFlight_{};
  bool awaitingReply_ = false;
  AcknowledgedImage acknowledged_;
  int16_t page1Start_ = 0;
  int16_t page1End_ = 0;
  CycleCounters counters_;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_TRANSMISSIONCYCLE_H_
