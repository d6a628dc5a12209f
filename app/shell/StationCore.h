// The headless heart of the operator program: the settings, the page store and
// image, the editor model, the parsers and page writer, the transmission cycle,
// the receive framing, both device links and the one-second timer, brought up
// and taken down in the program's order. Qt-free: the serial lines and the
// timer come from the system it runs on (StationSystem). The window and the
// command-line station on Linux run it as a Station, the Windows command-line
// station on the Win32 message loop.
#ifndef TORVANE_APP_SHELL_STATIONCORE_H_
#define TORVANE_APP_SHELL_STATIONCORE_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ErrorReporter.h"
#include "NetworkLink.h"
#include "Prompter.h"
#include "SerialLine.h"
#include "SettingsStore.h"
#include "StationSnapshots.h"
#include "StationSystem.h"
#include "TimingPipeline.h"
#include "TransmissionCycle.h"

namespace torvane {

class ClassesRootHive;

struct StationOptions {
  // Day of the year for the page headers; today when unset.
  std::optional<int16_t> dayOfYear;
  // False leaves the 1000 ms timer off: the caller drives OnTimerTick, as
  // tests do that count seconds of back-off.
  bool timerTicks = true;
};

class StationCore {
 public:
  // settings, prompter and system must outlive the station.
  StationCore(SettingsStore& settings, Prompter& prompter, StationSystem& system,
              StationOptions options = {});
  virtual ~StationCore();
  StationCore(const StationCore&) = delete;
  StationCore& operator=(const StationCore&) = delete;

  // The start-up steps that need no window; the caller has made sure no other
  // instance runs (InstanceLock) before the settings were read. A load step
  // that raises (the conversion library cannot be loaded, for one) skips the
  // remaining ones, the main timer's start among them: LoadError() tells what
  // it was, for the caller to show, and the station stays up for the operator.
  void Start();
  // What stopped the start-up steps; empty when they all ran.
  const std::string& LoadError() const { return loadError_; }
  bool TimerRunning() const { return system_.TimerRunning(); }
  // Errors raised out of event work since the start.
  uint64_t Faults() const { return errors_.Count(); }
  // Timer stopped, transmitter line closed, editor unloaded, links, ticker list
  // and "Delay Everything" saved. Runs once; the destructor calls it.
  void Shutdown();

  Globals& globals() { return core_.globals(); }
  const Globals& globals() const { return core_.globals(); }
  EditorModel& editor() { return core_.editor(); }
  ImageBuilder& builder() { return core_.builder(); }
  TransmissionCycle& cycle() { return cycle_; }
  const CycleLamps& Lamps() const { return lamps_; }
  const std::vector<std::string>& TickerList() const { return tickerList_; }
  bool TransmitterOpen() const { return transmitterLine_.IsOpen(); }
  // Packet bytes the serial transmitter line dropped because the device had
  // not taken what was already queued (it answers without reading).
  size_t TransmitterBytesNotSent() const { return transmitterSerial_->DroppedOutputBytes(); }
  // Timing text dropped because too much arrived while a record's handling
  // held the receive loop (a message box left open).
  uint64_t TimingBytesDropped() const { return core_.framer().DroppedBytes(); }
  // Timing text waiting behind the handling of timing input that holds the
  // loop (a message box: the parser's, or an error's): what the framer and
  // the timing serial line hold back. 0 while nothing holds it.
  size_t TimingTextWaiting() const;
  // "timing: N characters waiting behind a message box" while some wait; empty otherwise.
  std::string TimingWaitingText() const;

  // The ticker chooser's entries; saved at shutdown.
  void AddTickerEntry(const std::string& text) { tickerList_.push_back(text); }

  // For the port settings dialogs. The line of a link configured again from
  // its record (false when the line refuses, nothing shown).
  bool ConfigureTimingLine();
  bool ConfigureTransmitterLine();
  // The link's network connection: dropped when connected; connected to the
  // record's host and port when both are set. False when the connection
  // cannot even be attempted.
  bool ReconnectTimingNetwork();
  bool ReconnectTransmitterNetwork();
  bool TimingNetworkConnected();
  void DisconnectTimingNetwork();
  // Sends text to the timing system while its network link is connected.
  void SendToTimingSystem(const std::string& text);
  SettingsStore& settings() { return settings_; }

  // One line for the operator: lamps, packets, replies, recoveries, throughput,
  // and the state of a link that is lost or coming back.
  std::string StatusLine() const;
  // The timing system's link over TCP: "connected", "connecting",
  // "reconnecting in N s", "connection lost" ...; empty unless the timing
  // system is set to TCP/IP.
  std::string TimingLinkState() const;
  // A serial line lost under the station: when, and whether it is watched
  // for its device; or how often it came back. Empty while nothing happened.
  std::string TransmitterLineState() const { return LineState(transmitterWatch_); }
  std::string TimingLineState() const { return LineState(timingWatch_); }
  // A few words for a lamp while a lost link is being brought back ("reconnecting
  // in 4 s", "waiting for the line"); empty otherwise, and always with the
  // link's Reconnect setting off.
  std::string TimingLampNote() const;
  std::string TransmitterLampNote() const;
  // Times a lost link came back on its own.
  uint64_t TransmitterReopens() const { return transmitterWatch_.reopens; }
  uint64_t TimingReopens() const { return timingWatch_.reopens; }
  uint64_t TimingReconnects() const { return timingReconnects_; }
  // Whether the transmitter's serial line runs in the driver's low-latency mode.
  std::string LowLatencyText() const;

  // The 1000 ms timer's work; public so tests can drive it.
  void OnTimerTick();

  // What readers on other threads may see: the acknowledged image, published
  // within kCardsEveryMs of a change while the transmitter answers and on every
  // tick, and the link health on every tick. Outlives the station for whoever
  // holds it.
  static constexpr int64_t kCardsEveryMs = 100;
  std::shared_ptr<StationSnapshots> Snapshots() const { return snapshots_; }
  // The figures of the status line, as the next tick publishes them.
  HealthSnapshot Health() const;

  // Runs after every timer tick, when the lamps may have changed.
  std::function<void()> OnLampsChanged;

 private:
  // Where block packets go: the transmitter's serial line or its own network link.
  class TransmitterOutput : public TransmitterLine {
   public:
    explicit TransmitterOutput(StationCore& station) : station_(station) {}
    bool IsOpen() const override;
    void Write(const BlockPacket& packet) override;

   private:
    StationCore& station_;
  };

  class ImageRegions : public ImageMaintenance {
   public:
    explicit ImageRegions(ImageBuilder& builder) : builder_(builder) {}
    void BuildIndexTable() override { builder_.BuildIndexTable(); }
    void BuildImage() override { builder_.BuildImage(); }

   private:
    ImageBuilder& builder_;
  };

  // A serial line that failed under the station. With its link's Reconnect
  // setting on, the timer tries to open it again until its device is back.
  struct LineWatch {
    LineWatch(const char* lineName, std::string_view linkKey) : name(lineName), key(linkKey) {}
    const char* name;
    std::string_view key;
    bool lost = false;
    std::string path;
    int64_t lostAtMs = 0;
    uint64_t reopens = 0;
    int64_t reopenedAtMs = 0;
  };

  // The timing system's TCP link as the station drives it.
  enum class NetState {
    kIdle,        // not connected, nothing planned
    kConnecting,  // a connect is under way
    kConnected,
    kWaiting,  // the next try comes in timingRetryInS_ seconds
    kDown,     // lost or refused, and no reconnect wanted
  };

  void OpenTransmitter();
  void OpenTiming();
  // Connects the timing link over TCP; false when that fails. automatic: the
  // station's own try after a loss, whose failure is not put to the operator
  // in a message box.
  bool ConnectTimingSystem(bool automatic = false);
  bool ReconnectWanted(std::string_view key) const;
  void OnTimingConnected(int32_t code, const std::string& description);
  void OnTimingDisconnected(int32_t code, const std::string& description);
  void ScheduleTimingRetry();
  void TickTimingNetwork();
  bool ConfigureSerial(SerialLine& line, const LinkSettings& link, int16_t inputLen,
                       int16_t inputMode);
  void WatchLostLine(LineWatch& watch);
  std::string LineState(const LineWatch& watch) const;
  NetworkLink* EnsureNetworkLink(std::unique_ptr<NetworkLink>& link, std::string* error);

  // Runs one event's work. An error raised out of it must not end the program
  // from inside the event loop: it goes to the error reporter (shown unless it
  // is the one shown last, counted in the status line) and the next event runs.
  void Guarded(const std::function<void()>& work);

  void OnTimingComm();
  void OnTransmitterComm();
  void OnTimingNetworkData(const std::string& text);
  void OnTransmitterNetworkData(const std::string& bytes);
  void OnNetworkError(int32_t code, const std::string& description);
  void OnLineError(LineWatch& watch, const std::string& why);
  // After replies: the full-pass figures, and the cards when one is due.
  void AfterReplies();
  void NoteFullPasses();
  void PublishCards();
  LinkHealth TransmitterHealth() const;
  LinkHealth TimingHealth() const;

  SettingsStore& settings_;
  Prompter& prompter_;
  StationSystem& system_;
  StationOptions options_;
  std::unique_ptr<ClassesRootHive> classes_;

  TimingPipeline core_;
  ImageRegions regions_;
  TransmitterOutput transmitterLine_;
  TransmissionCycle cycle_;

  std::unique_ptr<SerialLine> timingSerial_;
  std::unique_ptr<SerialLine> transmitterSerial_;
  bool lowLatencyWanted_ = true;
  SerialLine::LowLatency transmitterLatency_ = SerialLine::LowLatency::kNotOffered;
  std::unique_ptr<NetworkLink> timingNet_;
  std::unique_ptr<NetworkLink> transmitterNet_;
  LineWatch transmitterWatch_;
  LineWatch timingWatch_;
  NetState timingNetState_ = NetState::kIdle;
  bool timingAutoAttempt_ = false;
  bool timingWasLost_ = false;
  int timingRetryInS_ = 0;
  int timingBackoffS_ = 1;
  uint64_t timingReconnects_ = 0;
  std::string timingLastFailure_;

  std::string loadError_;
  ErrorReporter errors_;
  CycleLamps lamps_;
  std::vector<std::string> tickerList_;
  bool started_ = false;
  bool shutDown_ = false;
  int timingHandlers_ = 0;  // timing input handlers running (nested through boxes)
  int64_t startedMs_ = 0;
  uint64_t passesSeen_ = 0;
  int64_t lastFullPassMs_ = 0;
  int64_t lastPassTookMs_ = 0;
  uint64_t passStartPackets_ = 0;
  uint64_t lastPassPackets_ = 0;
  std::shared_ptr<StationSnapshots> snapshots_ = std::make_shared<StationSnapshots>();
  uint64_t publishedChanges_ = 0;
  int64_t cardsPublishedMs_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_STATIONCORE_H_
