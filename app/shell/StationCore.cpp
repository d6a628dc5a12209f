#include "StationCore.h"

#include <algorithm>
#include <cstdio>

#include "ClassesRootHive.h"
#include "LineSettings.h"
#include "LinkSettingsStore.h"
#include "LocalDate.h"
#include "PortOpening.h"
#include "SerialLine.h"
#include "SettingsKeys.h"
#include "TickerList.h"

namespace torvane {
namespace {

constexpr int kTimerIntervalMs = 1000;
// Back-off between tries to reach the timing system again: doubling from the
// first, never longer than the last.
constexpr int kFirstRetryS = 1;
constexpr int kLongestRetryS = 30;

bool IsSerialPort(int16_t port) { return port >= 1 && port <= 24; }

bool IsNone(const std::string& text) { return text.empty() || text == "None"; }

}  // namespace

bool StationCore::TransmitterOutput::IsOpen() const {
  if (station_.globals().TransmitterLink.ComPort == LinkSettings::kTcpIp) {
    return station_.transmitterNet_ != nullptr && station_.transmitterNet_->Connected();
  }
  return station_.transmitterSerial_->PortOpen();
}

void StationCore::TransmitterOutput::Write(const BlockPacket& packet) {
  const std::string_view bytes(reinterpret_cast<const char*>(packet.data()), packet.size());
  try {
    if (station_.globals().TransmitterLink.ComPort == LinkSettings::kTcpIp) {
      station_.transmitterNet_->Send(bytes);
    } else {
      station_.transmitterSerial_->Output(bytes);
    }
  } catch (const std::exception& e) {
    // The line's own failure report tells the operator; the recovery tick retries.
    std::fprintf(stderr, "TorvaneTX: transmitter write failed: %s\n", e.what());
  }
}

StationCore::StationCore(SettingsStore& settings, Prompter& prompter, StationSystem& system,
                         StationOptions options)
    : settings_(settings),
      prompter_(prompter),
      system_(system),
      options_(std::move(options)),
      classes_(std::make_unique<ClassesRootHive>(settings)),
      core_(settings, prompter),
      regions_(core_.builder()),
      transmitterLine_(*this),
      cycle_(core_.globals(), transmitterLine_, regions_),
      timingSerial_(
          system.MakeSerialLine([this](int16_t n) { return ComPortDevicePath(settings_, n); })),
      transmitterSerial_(
          system.MakeSerialLine([this](int16_t n) { return ComPortDevicePath(settings_, n); })),
      transmitterWatch_{"transmitter", kTransmitterKey},
      timingWatch_{"timing", kTimingSystemKey},
      errors_(prompter) {
  timingSerial_->OnComm = [this] { OnTimingComm(); };
  transmitterSerial_->OnComm = [this] { OnTransmitterComm(); };
  timingSerial_->OnLineError = [this](const std::string& why) { OnLineError(timingWatch_, why); };
  transmitterSerial_->OnLineError = [this](const std::string& why) {
    OnLineError(transmitterWatch_, why);
  };
}

StationCore::~StationCore() { Shutdown(); }

void StationCore::Start() {
  SettingsStore::Batch batch(settings_);
  Globals& g = globals();
  const CalendarDate today = LocalToday();
  const int16_t day = options_.dayOfYear.value_or(DayOfYear(today.year, today.month, today.day));

  LoadLinkSettings(settings_, kTransmitterKey, g.TransmitterLink);
  LoadLinkSettings(settings_, kTimingSystemKey, g.TimingLink);
  tickerList_ = LoadTickerList(settings_);
  OpenTransmitter();
  OpenTiming();

  cycle_.ResetReplyState();
  startedMs_ = NowMs();
  started_ = true;
  try {
    core_.StartUp({day, std::nullopt, g.TimingTcpActive});
  } catch (const std::exception& e) {
    // Not on a half-loaded store: the cycle would send what the load left behind.
    loadError_ = e.what();
    return;
  }
  if (options_.timerTicks) system_.StartTimer(kTimerIntervalMs, [this] { OnTimerTick(); });
}

void StationCore::OpenTransmitter() {
  const LinkSettings& link = globals().TransmitterLink;
  if (link.ComPort == LinkSettings::kNoPort) {
    prompter_.Show(
        {"Please go to Settings->Transmitter\nand select a port that Torvane "
         "Transmitter\nis connected to.",
         "Torvane TX - Communications", PromptIcon::kInformation, PromptButtons::kOk});
    return;
  }
  if (link.ComPort != LinkSettings::kTcpIp) {
    if (OpenTransmitterLine(*transmitterSerial_, link, prompter_)) {
      lowLatencyWanted_ = settings_.ReadSetting(kTransmitterKey, kLowLatency) != "0";
      transmitterLatency_ = transmitterSerial_->SetLowLatency(lowLatencyWanted_);
    }
    return;
  }
  // The transmitter over TCP gets a control of its own, so the timing link
  // keeps its connection.
  ReconnectTransmitterNetwork();
}

void StationCore::OpenTiming() {
  const LinkSettings& link = globals().TimingLink;
  if (IsSerialPort(link.ComPort)) {
    OpenTimingLine(*timingSerial_, link, prompter_);
  } else if (link.ComPort == LinkSettings::kTcpIp && !ConnectTimingSystem()) {
    prompter_.Show({"Unable to connect to timing system!", "TorvaneTX", PromptIcon::kNone,
                    PromptButtons::kOk});
  }
}

NetworkLink* StationCore::EnsureNetworkLink(std::unique_ptr<NetworkLink>& link,
                                            std::string* error) {
  if (link == nullptr) {
    link = NetworkLink::Create(*classes_, error);
    if (link != nullptr) {
      link->OnError = [this](int32_t code, const std::string& description) {
        OnNetworkError(code, description);
      };
    }
  }
  return link.get();
}

bool StationCore::ReconnectWanted(std::string_view key) const {
  const std::string value = settings_.ReadSetting(key, kReconnect);
  if (key == kTransmitterKey) return value != "0";
  return value == "1";
}

bool StationCore::ConnectTimingSystem(bool automatic) {
  Globals& g = globals();
  std::string error;
  NetworkLink* net = EnsureNetworkLink(timingNet_, &error);
  if (net == nullptr) {
    std::fprintf(stderr, "TorvaneTX: %s\n", error.c_str());
    return false;
  }
  net->OnDataIn = [this](const std::string& text) { OnTimingNetworkData(text); };
  net->OnConnected = [this](int32_t code, const std::string& description) {
    OnTimingConnected(code, description);
  };
  net->OnDisconnected = [this](int32_t code, const std::string& description) {
    OnTimingDisconnected(code, description);
  };
  // A close of our own is no loss to come back from.
  timingNetState_ = NetState::kIdle;
  if (!automatic) {
    timingWasLost_ = false;
    timingBackoffS_ = kFirstRetryS;
  }
  try {
    if (IsNone(g.TimingLink.Host) || IsNone(g.TimingLink.Port)) {
      if (net->Connected()) net->Disconnect();
      return true;
    }
    g.TimingTcpActive = true;
    if (net->Connected()) net->Disconnect();
    size_t used = 0;
    const int port = std::stoi(g.TimingLink.Port, &used);
    if (used != g.TimingLink.Port.size()) return false;
    timingAutoAttempt_ = automatic;
    timingNetState_ = NetState::kConnecting;
    net->Connect(g.TimingLink.Host, port);
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "TorvaneTX: cannot connect to the timing system: %s\n", e.what());
    timingLastFailure_ = e.what();
    if (timingNetState_ == NetState::kConnecting) {
      // The try could not even start; with reconnect on, the next one is planned.
      if (ReconnectWanted(kTimingSystemKey)) {
        timingWasLost_ = true;
        ScheduleTimingRetry();
      } else {
        timingNetState_ = NetState::kDown;
      }
    }
    return false;
  }
}

void StationCore::OnTimingConnected(int32_t code, const std::string& description) {
  if (timingNetState_ != NetState::kConnecting) return;
  if (code == 0) {
    timingNetState_ = NetState::kConnected;
    timingBackoffS_ = kFirstRetryS;
    timingLastFailure_.clear();
    if (timingWasLost_) {
      timingWasLost_ = false;
      ++timingReconnects_;
      // The old connection took the rest of its last record with it.
      core_.framer().AbandonRecord();
      std::fprintf(stderr, "TorvaneTX: connected to the timing system again\n");
    }
    return;
  }
  timingLastFailure_ = "Error " + std::to_string(code) + ": " + description;
  const bool retry = ReconnectWanted(kTimingSystemKey);
  if (timingAutoAttempt_) {
    // Only the operator's own connect puts its failure in a box; the
    // station's tries after a loss go to stderr and the status line.
    std::fprintf(stderr, "TorvaneTX: the timing system is not there yet (%s)\n",
                 timingLastFailure_.c_str());
  } else {
    OnNetworkError(code, description);
  }
  if (retry) {
    timingWasLost_ = true;
    ScheduleTimingRetry();
  } else {
    timingNetState_ = NetState::kDown;
  }
}

void StationCore::OnTimingDisconnected(int32_t code, const std::string& description) {
  // Only a connection that was made can be lost; our own Disconnect has
  // already left this state.
  if (timingNetState_ != NetState::kConnected) return;
  timingLastFailure_ = code == 0 ? std::string("closed by the timing system")
                                 : "Error " + std::to_string(code) + ": " + description;
  if (ReconnectWanted(kTimingSystemKey)) {
    timingWasLost_ = true;
    timingBackoffS_ = kFirstRetryS;
    ScheduleTimingRetry();
    std::fprintf(stderr,
                 "TorvaneTX: the timing system connection is lost (%s); reconnecting in %d s\n",
                 timingLastFailure_.c_str(), timingRetryInS_);
  } else {
    timingNetState_ = NetState::kDown;
    std::fprintf(stderr, "TorvaneTX: the timing system connection is lost (%s)\n",
                 timingLastFailure_.c_str());
  }
}

void StationCore::ScheduleTimingRetry() {
  timingNetState_ = NetState::kWaiting;
  timingRetryInS_ = timingBackoffS_;
  timingBackoffS_ = std::min(kLongestRetryS, timingBackoffS_ * 2);
}

void StationCore::TickTimingNetwork() {
  if (timingNetState_ != NetState::kWaiting) return;
  if (globals().TimingLink.ComPort != LinkSettings::kTcpIp) {
    timingNetState_ = NetState::kIdle;  // the operator chose another port
    return;
  }
  if (--timingRetryInS_ > 0) return;
  ConnectTimingSystem(true);
}

// A line that start-up never opened gets its input modes first, as opening
// would have given them.
bool StationCore::ConfigureSerial(SerialLine& line, const LinkSettings& link, int16_t inputLen,
                                  int16_t inputMode) {
  if (!line.PortOpen()) {
    line.SetInputLen(inputLen);
    line.SetRThreshold(1);
    line.SetInputMode(inputMode);
  }
  return ConfigureLine(line, link);
}

// The operator's own configure ends any watch for a lost device.
bool StationCore::ConfigureTimingLine() {
  timingWatch_.lost = false;
  return ConfigureSerial(*timingSerial_, globals().TimingLink, 0, 0);
}

bool StationCore::ConfigureTransmitterLine() {
  transmitterWatch_.lost = false;
  return ConfigureSerial(*transmitterSerial_, globals().TransmitterLink, 1, 1);
}

void StationCore::WatchLostLine(LineWatch& watch) {
  const bool transmitter = &watch == &transmitterWatch_;
  SerialLine& line = transmitter ? *transmitterSerial_ : *timingSerial_;
  const LinkSettings& link = transmitter ? globals().TransmitterLink : globals().TimingLink;
  if (!watch.lost) return;
  if (line.PortOpen() || !IsSerialPort(link.ComPort)) {
    watch.lost = false;
    return;
  }
  if (!ReconnectWanted(watch.key)) return;
  // A missing device fails its open at once, so a try a tick costs nothing
  // while it is away; the path may be mapped anew meanwhile.
  watch.path = ComPortDevicePath(settings_, link.ComPort);
  if (!ConfigureSerial(line, link, transmitter ? 1 : 0, transmitter ? 1 : 0)) return;
  watch.lost = false;
  ++watch.reopens;
  watch.reopenedAtMs = NowMs();
  if (transmitter) {
    transmitterLatency_ = transmitterSerial_->SetLowLatency(lowLatencyWanted_);
  } else {
    core_.framer().AbandonRecord();  // its tail went with the old device
  }
  std::fprintf(stderr, "TorvaneTX: the %s line is back on %s\n", watch.name, watch.path.c_str());
}

bool StationCore::ReconnectTimingNetwork() { return ConnectTimingSystem(); }

bool StationCore::ReconnectTransmitterNetwork() {
  const LinkSettings& link = globals().TransmitterLink;
  std::string error;
  NetworkLink* net = EnsureNetworkLink(transmitterNet_, &error);
  if (net == nullptr) {
    std::fprintf(stderr, "TorvaneTX: %s\n", error.c_str());
    return false;
  }
  net->OnDataIn = [this](const std::string& bytes) { OnTransmitterNetworkData(bytes); };
  try {
    if (net->Connected()) net->Disconnect();
    if (IsNone(link.Host) || IsNone(link.Port)) return true;
    net->Connect(link.Host, std::stoi(link.Port));
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "TorvaneTX: cannot connect to the transmitter: %s\n", e.what());
    return false;
  }
}

bool StationCore::TimingNetworkConnected() {
  try {
    return timingNet_ != nullptr && timingNet_->Connected();
  } catch (const NetworkLinkError&) {
    return false;
  }
}

void StationCore::DisconnectTimingNetwork() {
  timingNetState_ = NetState::kIdle;
  timingWasLost_ = false;
  try {
    if (TimingNetworkConnected()) timingNet_->Disconnect();
  } catch (const NetworkLinkError&) {
  }
}

void StationCore::SendToTimingSystem(const std::string& text) {
  try {
    if (TimingNetworkConnected()) timingNet_->Send(text);
  } catch (const NetworkLinkError&) {
  }
}

void StationCore::Shutdown() {
  if (!started_ || shutDown_) return;
  shutDown_ = true;
  SettingsStore::Batch batch(settings_);
  Globals& g = globals();
  system_.StopTimer();
  CloseTransmitterLine(*transmitterSerial_, prompter_);
  if (transmitterNet_ != nullptr) {
    try {
      if (transmitterNet_->Connected()) transmitterNet_->Disconnect();
    } catch (const NetworkLinkError&) {
    }
  }
  // A start-up that failed before the pages were read must not save an empty
  // store over the operator's.
  if (editor().PagesLoaded()) editor().Unload();
  SaveLinkSettings(settings_, kTransmitterKey, g.TransmitterLink);
  SaveLinkSettings(settings_, kTimingSystemKey, g.TimingLink);
  SaveTickerList(settings_, tickerList_);
  settings_.WriteSetting(kMainKey, kDelayEverything, g.DelayEverything ? 1 : 0, kRegDword);
}

void StationCore::Guarded(const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& e) {
    errors_.Report(e.what());
  }
}

void StationCore::OnTimerTick() {
  SettingsStore::Batch batch(settings_);
  Guarded([this] {
    ReceiveFramer& framer = core_.framer();
    if (framer.TimingDataSeen()) {
      cycle_.NoteTimingData();
      framer.ClearTimingDataSeen();
    }
    // A line back before the cycle's tick is sent to by its recovery rule.
    WatchLostLine(transmitterWatch_);
    WatchLostLine(timingWatch_);
    TickTimingNetwork();
    lamps_ = cycle_.Tick();
  });
  NoteFullPasses();
  PublishCards();
  snapshots_->PublishHealth(std::make_shared<const HealthSnapshot>(Health()));
  if (OnLampsChanged) OnLampsChanged();
}

namespace {

// Counts a handler while it runs.
class Running {
 public:
  explicit Running(int& count) : count_(count) { ++count_; }
  ~Running() { --count_; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  int& count_;
};

}  // namespace

void StationCore::NoteFullPasses() {
  const CycleCounters& c = cycle_.Counters();
  if (c.fullPasses == passesSeen_) return;
  const int64_t now = NowMs();
  // A pass is timed only from the end of one seen here to the next, and only
  // while they come one at a time.
  if (passesSeen_ > 0 && c.fullPasses == passesSeen_ + 1) {
    lastPassTookMs_ = now - lastFullPassMs_;
    lastPassPackets_ = c.packetsSent - passStartPackets_;
  }
  passesSeen_ = c.fullPasses;
  lastFullPassMs_ = now;
  passStartPackets_ = c.packetsSent;
}

void StationCore::PublishCards() {
  const AcknowledgedImage& acknowledged = cycle_.Acknowledged();
  if (acknowledged.Changes() == publishedChanges_) return;
  auto cards = std::make_shared<CardSnapshot>();
  cards->sequence = acknowledged.Changes();
  cards->image = acknowledged.Bytes();
  publishedChanges_ = cards->sequence;
  cardsPublishedMs_ = NowMs();
  snapshots_->PublishCards(std::move(cards));
}

void StationCore::AfterReplies() {
  // Per reply only counter compares; a clock read only once the image changed.
  NoteFullPasses();
  if (cycle_.Acknowledged().Changes() == publishedChanges_) return;
  if (NowMs() - cardsPublishedMs_ >= kCardsEveryMs) PublishCards();
}

namespace {

// What a link is and where it goes; the state only when no port is set.
LinkHealth LinkPlace(const LinkSettings& link, const SettingsStore& settings) {
  LinkHealth health;
  if (link.ComPort == LinkSettings::kTcpIp) {
    health.kind = "tcp";
    health.where = link.Host + ":" + link.Port;
  } else if (IsSerialPort(link.ComPort)) {
    health.kind = "serial";
    health.where = "COM" + std::to_string(link.ComPort) + " (" +
                   ComPortDevicePath(settings, link.ComPort) + ")";
  } else {
    health.state = "no port set";
  }
  return health;
}

// A serial line's state: what became of it, else whether it is open.
std::string LineStateOr(std::string lineState, bool open) {
  if (!lineState.empty()) return lineState;
  return open ? "open" : "closed";
}

}  // namespace

LinkHealth StationCore::TransmitterHealth() const {
  const LinkSettings& link = globals().TransmitterLink;
  LinkHealth health = LinkPlace(link, settings_);
  health.open = transmitterLine_.IsOpen();
  if (link.ComPort == LinkSettings::kTcpIp) {
    health.state = health.open ? "connected" : "not connected";
  } else if (IsSerialPort(link.ComPort)) {
    health.state = LineStateOr(TransmitterLineState(), health.open);
  }
  return health;
}

LinkHealth StationCore::TimingHealth() const {
  const LinkSettings& link = globals().TimingLink;
  LinkHealth health = LinkPlace(link, settings_);
  if (link.ComPort == LinkSettings::kTcpIp) {
    health.open = timingNetState_ == NetState::kConnected;
    health.state = TimingLinkState();
  } else if (IsSerialPort(link.ComPort)) {
    health.open = timingSerial_->PortOpen();
    health.state = LineStateOr(TimingLineState(), health.open);
  }
  return health;
}

HealthSnapshot StationCore::Health() const {
  HealthSnapshot h;
  h.uptimeMs = started_ ? NowMs() - startedMs_ : 0;
  h.lamps = lamps_;
  h.counters = cycle_.Counters();
  h.transmitter = TransmitterHealth();
  h.timing = TimingHealth();
  if (transmitterSerial_->PortOpen()) h.transmitterLatency = LowLatencyText();
  if (lastFullPassMs_ != 0) h.lastFullPassAt = LocalClockText(lastFullPassMs_);
  h.lastFullPassMs = lastPassTookMs_;
  if (lastPassTookMs_ > 0 && IsSerialPort(globals().TransmitterLink.ComPort)) {
    // 14 packet bytes out and a reply byte back, 10 bits each on the wire.
    const std::optional<LineSettings> line =
        ParseSettingsText(FormSettingsText(globals().TransmitterLink));
    if (line && line->baudRate > 0) {
      h.lastFullPassWireMs =
          static_cast<double>(lastPassPackets_) * 150.0 * 1000.0 / line->baudRate;
    }
  }
  h.recordsReceived = core_.RecordsReceived();
  h.recordsDropped = core_.framer().OverlongRecords() + core_.framer().AbandonedRecords();
  h.timingBytesDropped = TimingBytesDropped();
  h.transmitterBytesNotSent = TransmitterBytesNotSent();
  h.transmitterReopens = TransmitterReopens();
  h.timingReopens = TimingReopens();
  h.timingReconnects = TimingReconnects();
  h.faults = Faults();
  h.statusLine = StatusLine();
  return h;
}

void StationCore::OnTimingComm() {
  const Running running(timingHandlers_);
  SettingsStore::Batch batch(settings_);
  const int16_t port = globals().TimingLink.ComPort;
  const std::string text = timingSerial_->Input();
  if (!IsSerialPort(port) || text.empty()) return;
  Guarded([&] { core_.Receive(text, Framing::kTagged); });
}

void StationCore::OnTimingNetworkData(const std::string& text) {
  const Running running(timingHandlers_);
  SettingsStore::Batch batch(settings_);
  const Globals& g = globals();
  if (g.TimingLink.ComPort != LinkSettings::kTcpIp) return;
  Guarded([&] { core_.Receive(text, FramingFor(true, g.TimingTcpActive)); });
}

void StationCore::OnTransmitterComm() {
  const std::string bytes = transmitterSerial_->Input();
  if (bytes.empty()) return;
  SettingsStore::Batch batch(settings_);
  Guarded([&] { cycle_.SelectNextBlock(static_cast<uint8_t>(bytes[0])); });
  AfterReplies();
}

void StationCore::OnTransmitterNetworkData(const std::string& bytes) {
  // A network read may carry several replies; each answers one packet.
  SettingsStore::Batch batch(settings_);
  Guarded([&] {
    for (char b : bytes) cycle_.SelectNextBlock(static_cast<uint8_t>(b));
  });
  AfterReplies();
}

void StationCore::OnNetworkError(int32_t code, const std::string& description) {
  prompter_.Show({"Error " + std::to_string(code) + ": " + description, "Network Connection",
                  PromptIcon::kCritical, PromptButtons::kOk});
}

void StationCore::OnLineError(LineWatch& watch, const std::string& why) {
  const bool transmitter = &watch == &transmitterWatch_;
  const LinkSettings& link = transmitter ? globals().TransmitterLink : globals().TimingLink;
  watch.lost = true;
  watch.lostAtMs = NowMs();
  watch.path = ComPortDevicePath(settings_, link.ComPort);
  std::string text = std::string("The ") + watch.name + " line has failed and is closed:\n" + why;
  if (ReconnectWanted(watch.key)) text += "\nIt is opened again when " + watch.path + " is back.";
  prompter_.Show({text, "Serial Port", PromptIcon::kCritical, PromptButtons::kOk});
}

std::string StationCore::LineState(const LineWatch& watch) const {
  std::string text;
  if (watch.lost) {
    text = "lost at " + LocalClockText(watch.lostAtMs);
    if (ReconnectWanted(watch.key)) text += ", reopening when " + watch.path + " is back";
  }
  if (watch.reopens > 0) {
    if (!text.empty()) text += "; ";
    text += "reopened " + std::to_string(watch.reopens) +
            (watch.reopens == 1 ? " time" : " times") + ", last at " +
            LocalClockText(watch.reopenedAtMs);
  }
  return text;
}

std::string StationCore::TransmitterLampNote() const {
  return transmitterWatch_.lost && ReconnectWanted(kTransmitterKey) ? "waiting for the line" : "";
}

std::string StationCore::TimingLampNote() const {
  if (globals().TimingLink.ComPort == LinkSettings::kTcpIp) {
    if (timingNetState_ == NetState::kWaiting) {
      return "reconnecting in " + std::to_string(timingRetryInS_) + " s";
    }
    return timingNetState_ == NetState::kConnecting && timingWasLost_ ? "reconnecting" : "";
  }
  return timingWatch_.lost && ReconnectWanted(kTimingSystemKey) ? "waiting for the line" : "";
}

std::string StationCore::TimingLinkState() const {
  if (globals().TimingLink.ComPort != LinkSettings::kTcpIp) return {};
  std::string text;
  switch (timingNetState_) {
    case NetState::kIdle:
      text = "not connected";
      break;
    case NetState::kConnecting:
      text = timingWasLost_ ? "reconnecting" : "connecting";
      break;
    case NetState::kConnected:
      text = "connected";
      break;
    case NetState::kWaiting:
      text = "reconnecting in " + std::to_string(timingRetryInS_) + " s";
      break;
    case NetState::kDown:
      text = "connection lost";
      break;
  }
  if (timingNetState_ != NetState::kConnected && !timingLastFailure_.empty()) {
    text += " (" + timingLastFailure_ + ")";
  }
  if (timingReconnects_ > 0) {
    text += ", connected again " + std::to_string(timingReconnects_) +
            (timingReconnects_ == 1 ? " time" : " times");
  }
  return text;
}

std::string StationCore::LowLatencyText() const {
  switch (transmitterLatency_) {
    case SerialLine::LowLatency::kOn:
      return "low latency";
    case SerialLine::LowLatency::kOff:
      return "low latency off (setting)";
    case SerialLine::LowLatency::kNotAllowed:
      return "latency timer " + std::to_string(transmitterSerial_->LatencyTimerMs()) +
             " ms (changing it needs administrator rights)";
    case SerialLine::LowLatency::kNotOffered:
      break;
  }
  return lowLatencyWanted_ ? "no low-latency mode, used as it is" : "low latency off (setting)";
}

size_t StationCore::TimingTextWaiting() const {
  if (timingHandlers_ == 0) return 0;
  return core_.framer().Waiting() + timingSerial_->UndeliveredCount();
}

std::string StationCore::TimingWaitingText() const {
  const size_t waiting = TimingTextWaiting();
  if (waiting == 0) return {};
  return "timing: " + std::to_string(waiting) + " characters waiting behind a message box";
}

std::string StationCore::StatusLine() const {
  const CycleCounters& c = cycle_.Counters();
  const double seconds = std::max<int64_t>(1, NowMs() - startedMs_) / 1000.0;
  const std::string lastPass =
      lastFullPassMs_ == 0 ? std::string("none yet") : LocalClockText(lastFullPassMs_);
  char line[320];
  std::snprintf(
      line, sizeof line,
      "lamps hold=%d ack=%d nak=%d timing=%d | packets %llu (%.0f bytes/s) | ack %llu "
      "esc %llu nak %llu other %llu | recoveries %llu | full passes %llu, last %s | "
      "at %d",
      lamps_.pageHold, lamps_.ack, lamps_.nak, lamps_.timingSystem,
      static_cast<unsigned long long>(c.packetsSent), c.packetsSent * 8 / seconds,
      static_cast<unsigned long long>(c.acks), static_cast<unsigned long long>(c.escs),
      static_cast<unsigned long long>(c.naks), static_cast<unsigned long long>(c.otherReplies),
      static_cast<unsigned long long>(c.recoveries), static_cast<unsigned long long>(c.fullPasses),
      lastPass.c_str(), lamps_.bufferPosition);
  std::string text = line;
  if (!loadError_.empty()) text += " | main timer stopped, start-up stopped: " + loadError_;
  if (TransmitterBytesNotSent() > 0) {
    text += " | not sent, line behind: " + std::to_string(TransmitterBytesNotSent()) + " bytes";
  }
  if (transmitterSerial_->PortOpen()) text += " | transmitter line: " + LowLatencyText();
  if (const std::string state = TransmitterLineState(); !state.empty()) {
    text += " | transmitter line " + state;
  }
  if (const std::string state = TimingLineState(); !state.empty()) {
    text += " | timing line " + state;
  }
  if (const std::string state = TimingLinkState(); !state.empty()) {
    text += " | timing link: " + state;
  }
  if (const std::string waiting = TimingWaitingText(); !waiting.empty()) text += " | " + waiting;
  if (TimingBytesDropped() > 0) {
    text +=
        " | timing text dropped, receive busy: " + std::to_string(TimingBytesDropped()) + " bytes";
  }
  if (errors_.Count() > 0) {
    text += " | errors " + std::to_string(errors_.Count()) + ", last: " + errors_.Last();
  }
  return text;
}

}  // namespace torvane
