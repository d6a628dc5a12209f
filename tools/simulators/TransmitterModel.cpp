#include "TransmitterModel.h"

#include <algorithm>

namespace torvane::sim {
namespace {

constexpr int kBlockSize = 8;
constexpr int kBlockCount = kMapImageSize / kBlockSize + 1;  // the last one starts at 32768
constexpr int kFirstRowAddress = 272;
constexpr int kRowSize = 24;
constexpr int kPageAreaEnd = 32000;
constexpr int kTickerAddressHigh = 260;
constexpr uint8_t kGarbleMask = 0x40;  // turns 6, 21, 27 into 'F', 'U', '['

}  // namespace

TransmitterModel::TransmitterModel(TransmitterConfig config)
    : config_(config), reader_(config.gapTimeout), blockSeen_(kBlockCount, false) {}

void TransmitterModel::Receive(std::span<const uint8_t> bytes, Instant now) {
  stats_.bytesIn += static_cast<int64_t>(bytes.size());
  frames_.clear();
  if (config_.switches.wireTime) {
    // Each byte reaches the device when the line has carried it.
    for (uint8_t b : bytes) {
      const Instant arrival = std::max(now, wireInFreeAt_) + kWireByteTime;
      wireInFreeAt_ = arrival;
      reader_.Feed(std::span<const uint8_t>(&b, 1), arrival, frames_);
    }
  } else {
    reader_.Feed(bytes, now, frames_);
  }
  for (const ReadFrame& frame : frames_) HandleFrame(frame);
}

void TransmitterModel::HandleFrame(const ReadFrame& frame) {
  ++stats_.packets;
  if (SilentAt(frame.at)) {
    ++stats_.ignoredSilent;
    return;
  }
  const uint8_t reply = Verdict(frame);
  switch (reply) {
    case kReplyAck:
      ++stats_.acks;
      break;
    case kReplyEsc:
      ++stats_.escs;
      break;
    default:
      ++stats_.naks;
      break;
  }
  QueueReply(reply, frame.at);

  const FailureSwitches& sw = config_.switches;
  if (sw.silentAfter > 0 && ++packetsSinceSilence_ >= sw.silentAfter) {
    packetsSinceSilence_ = 0;
    silentUntil_ = frame.at + sw.silentFor;
  }
}

uint8_t TransmitterModel::Verdict(const ReadFrame& frame) {
  const PacketBytes& p = frame.bytes;
  if (!frame.checksumOk) {
    ++stats_.badChecksum;
    return kReplyNak;
  }
  if (config_.venue && p[2] != *config_.venue) {
    ++stats_.wrongVenue;
    return kReplyNak;
  }
  const int address = p[3] << 8 | p[4];
  if (address > kLastBlockAddress) {
    ++stats_.badAddress;
    return kReplyNak;
  }
  const FailureSwitches& sw = config_.switches;
  ++passedChecks_;
  if (sw.nakEvery > 0 && passedChecks_ % sw.nakEvery == 0) {
    ++stats_.forcedNaks;
    return kReplyNak;
  }
  Store(address, p, frame.at);
  ++accepted_;
  return sw.escEvery > 0 && accepted_ % sw.escEvery == 0 ? kReplyEsc : kReplyAck;
}

void TransmitterModel::QueueReply(uint8_t byte, Instant at) {
  const FailureSwitches& sw = config_.switches;
  ++replyCount_;
  if (sw.dropEvery > 0 && replyCount_ % sw.dropEvery == 0) {
    ++stats_.dropped;
    return;
  }
  if (sw.garbleEvery > 0 && replyCount_ % sw.garbleEvery == 0) {
    byte ^= kGarbleMask;
    ++stats_.garbled;
  }
  Instant due = at + sw.late;
  if (sw.wireTime) {
    due = std::max(due, wireOutFreeAt_) + kWireByteTime;
    wireOutFreeAt_ = due;
  }
  if (sw.adapterLatency > Duration::zero()) {
    if (due > adapterFlushAt_) adapterFlushAt_ = due + sw.adapterLatency;
    due = adapterFlushAt_;
  }
  replies_.push_back({byte, due});
}

std::vector<uint8_t> TransmitterModel::TakeReplies(Instant now) {
  std::vector<uint8_t> out;
  while (!replies_.empty() && replies_.front().due <= now) {
    out.push_back(replies_.front().byte);
    replies_.pop_front();
  }
  return out;
}

std::optional<Instant> TransmitterModel::NextReplyAt() const {
  if (replies_.empty()) return std::nullopt;
  return replies_.front().due;
}

void TransmitterModel::ResetLine() {
  reader_.Reset();
  replies_.clear();
}

void TransmitterModel::Store(int address, const PacketBytes& bytes, Instant at) {
  ++stats_.stored;
  if (address % kBlockSize != 0) ++stats_.unaligned;
  bool changed[kBlockSize];
  for (int i = 0; i < kBlockSize; ++i) {
    uint8_t& slot = image_[static_cast<size_t>(address + i)];
    const uint8_t value = bytes[static_cast<size_t>(5 + i)];
    changed[i] = slot != value;
    slot = value;
  }
  TrackRows(address, changed, at);
  if (address % kBlockSize == 0) TrackPass(address, at);
}

int TransmitterModel::MapEndFromImage() const {
  const int ticker = image_[kTickerAddressHigh] << 8 | image_[kTickerAddressHigh + 1];
  if (ticker < kFirstRowAddress || ticker > kMapImageSize - 4) return -1;
  return std::min(ticker + image_[static_cast<size_t>(ticker)] + 3, kMapImageSize - 1);
}

void TransmitterModel::TrackPass(int address, Instant at) {
  if (!passStart_) passStart_ = at;
  const int mapEnd = MapEndFromImage();
  const int lastBlock = mapEnd / kBlockSize;
  if (mapEnd != passMapEnd_) {
    passMapEnd_ = mapEnd;
    coveredBlocks_ = mapEnd < 0
                         ? 0
                         : static_cast<int>(std::count(blockSeen_.begin(),
                                                       blockSeen_.begin() + lastBlock + 1, true));
  }
  const int block = address / kBlockSize;
  if (!blockSeen_[static_cast<size_t>(block)]) {
    blockSeen_[static_cast<size_t>(block)] = true;
    if (mapEnd >= 0 && block <= lastBlock) ++coveredBlocks_;
  }
  if (mapEnd >= 0 && coveredBlocks_ == lastBlock + 1) {
    ++stats_.passes;
    stats_.lastPass = at - *passStart_;
    passStart_ = at;
    std::fill(blockSeen_.begin(), blockSeen_.end(), false);
    coveredBlocks_ = 0;
  }
}

bool TransmitterModel::RowHolds(int rowStart) const {
  unsigned sum = 0;
  for (int i = 0; i < kRowSize; ++i) sum += image_[static_cast<size_t>(rowStart + i)];
  return sum % 256 == 255;
}

void TransmitterModel::TrackRows(int address, const bool changed[8], Instant at) {
  const int ticker = image_[kTickerAddressHigh] << 8 | image_[kTickerAddressHigh + 1];
  const int areaEnd = ticker >= kFirstRowAddress && ticker <= kPageAreaEnd ? ticker : kPageAreaEnd;
  auto rowOf = [](int byteAddress) {
    return kFirstRowAddress + (byteAddress - kFirstRowAddress) / kRowSize * kRowSize;
  };
  for (int i = 0; i < kBlockSize; ++i) {
    const int byteAddress = address + i;
    if (changed[i] && byteAddress >= kFirstRowAddress && byteAddress < areaEnd) {
      pendingRows_.try_emplace(rowOf(byteAddress), at);
    }
  }
  // A packet touches at most two rows; each is done once its checksum holds.
  for (int i : {0, kBlockSize - 1}) {
    const int byteAddress = address + i;
    if (byteAddress < kFirstRowAddress) continue;
    const auto pending = pendingRows_.find(rowOf(byteAddress));
    if (pending == pendingRows_.end() || !RowHolds(pending->first)) continue;
    const Duration latency = at - pending->second;
    ++stats_.changedRows;
    stats_.rowLatencyTotal += latency;
    stats_.rowLatencyMax = std::max(stats_.rowLatencyMax, latency);
    pendingRows_.erase(pending);
  }
}

TransmitterStats TransmitterModel::Stats() const {
  TransmitterStats out = stats_;
  out.strayBytes = reader_.strayBytes();
  out.truncated = reader_.truncated();
  out.pendingRows = static_cast<int64_t>(pendingRows_.size());
  return out;
}

}  // namespace torvane::sim
