#include "TransmissionCycle.h"

#include "ImageLayout.h"

namespace torvane {

TransmissionCycle::TransmissionCycle(Globals& globals, TransmitterLine& line,
                                     ImageMaintenance& image)
    : g_(globals), line_(line), image_(image) {}

void TransmissionCycle::SendBlock(int16_t& cursor) {
  if (!line_.IsOpen()) return;
  const BlockPacket packet =
      BuildBlockPacket(g_.MapImage, cursor, static_cast<uint8_t>(g_.VenueId));
  lastSentAddress_ = cursor;
  cursor = static_cast<int16_t>(cursor + kBlockDataSize);
  ++counters_.packetsSent;
  inFlight_ = packet;
  awaitingReply_ = true;
  line_.Write(packet);
}

void TransmissionCycle::CyclicStep() {
  if (g_.TxCursor > g_.MapEnd) {
    g_.TxCursor = 0;
    ++counters_.fullPasses;
    image_.BuildIndexTable();
  } else if (g_.TxCursor < kFirstPageAddress) {
    image_.BuildIndexTable();
  } else {
    image_.BuildImage();
  }
  SendBlock(g_.TxCursor);
}

SendWindow* TransmissionCycle::FirstPendingWindow() {
  for (SendWindow& window : g_.LineWindows) {
    if (window.Pending()) return &window;
  }
  if (g_.BodyWindow.Pending()) return &g_.BodyWindow;
  if (g_.PageWindow.Pending()) return &g_.PageWindow;
  return nullptr;
}

void TransmissionCycle::SendFromWindow(SendWindow& window) { SendBlock(window.Next); }

void TransmissionCycle::SelectNextBlock(uint8_t b) {
  replyWaitMs_ = 0;
  if (b == kNak) {
    awaitingReply_ = false;  // refused: a later ACK cannot vouch for it
    nakSeen_ = true;
    ++counters_.naks;
    ++nakCount_;
    if (nakCount_ % 2 == 0) {
      // Every second refusal re-sends the cyclic block before the cursor,
      // whichever cursor sent the refused packet.
      if (g_.TxCursor >= 8) g_.TxCursor = static_cast<int16_t>(g_.TxCursor - 8);
      SendBlock(g_.TxCursor);
    }
    if (nakCount_ >= kNakCountLimit) nakCount_ = 0;
    return;
  }
  if (b != kAck && b != kEsc) {
    ++counters_.otherReplies;
    return;
  }
  ackSeen_ = true;
  ++(b == kAck ? counters_.acks : counters_.escs);
  if (awaitingReply_) acknowledged_.Accept(inFlight_);
  awaitingReply_ = false;

  if (!g_.NamesWindow.Pending()) {
    if (SendWindow* window = FirstPendingWindow()) {
      SendFromWindow(*window);
    } else {
      CyclicStep();
    }
    return;
  }
  if (g_.HoldCountdown <= 0) {
    SendFromWindow(g_.TitleWindow.Pending() ? g_.TitleWindow : g_.NamesWindow);
    return;
  }
  // Hold active: page 1's results wait, and the cyclic pass steps over page 1.
  if (g_.PageWindow.Pending()) {
    SendFromWindow(g_.PageWindow);
    return;
  }
  page1Start_ = g_.Pages[kResultPage].Address;
  page1End_ = static_cast<int16_t>(page1Start_ + g_.Pages.PageBlockSize(kResultPage));
  if (g_.TxCursor >= page1Start_ && g_.TxCursor < page1End_) g_.TxCursor = page1End_;
  CyclicStep();
}

CycleLamps TransmissionCycle::Tick() {
  CycleLamps lamps;
  replyWaitMs_ += kTickMs;
  if (g_.HoldCountdown >= 1) {
    lamps.pageHold = true;
    g_.HoldCountdown -= kTickMs;
  }
  lamps.ack = ackSeen_;
  lamps.nak = nakSeen_;
  lamps.timingSystem = timingDataSeen_;
  lamps.bufferPosition = lastSentAddress_;
  ackSeen_ = nakSeen_ = timingDataSeen_ = false;
  if (replyWaitMs_ > kReplyTimeoutMs) {
    ++counters_.recoveries;
    CyclicStep();
    replyWaitMs_ = 0;
  }
  return lamps;
}

void TransmissionCycle::ResetReplyState() {
  ackSeen_ = nakSeen_ = timingDataSeen_ = false;
  lastSentAddress_ = 0;
}

}  // namespace torvane
