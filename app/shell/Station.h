// The headless heart of the operator program: the settings, the page store and
// image, the editor model, the parsers and page writer, the transmission cycle,
// the receive framing, both device links and the one-second timer, brought up
// and taken down in the program's order. The window shows a Station; the
// command-line station runs one with no window.
#ifndef TORVANE_APP_SHELL_STATION_H_
#define TORVANE_APP_SHELL_STATION_H_

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ErrorReporter.h"
#include "NetworkLink.h"
#include "Prompter.h"
#include "QtSerialLine.h"
#include "SettingsStore.h"
#include "TimingPipeline.h"
#include "TransmissionCycle.h"

namespace torvane {

class ClassesRootHive;

struct StationOptions {
  // Day of the year for the page headers; today when unset.
  std::optional<int16_t> dayOfYear;
};

class Station : public QObject {
  Q_OBJECT

 public:
  // settings and prompter must outlive the station.
  Station(SettingsStore& settings, Prompter& prompter, StationOptions options = {},
          QObject* parent = nullptr);
  ~Station() override;

  // The start-up steps that need no window; the caller has made sure no other
  // instance runs (InstanceLock) before the settings were read. A load step
  // that raises (the conversion library cannot be loaded, for one) skips the
  // remaining ones, the main timer's start among them: LoadError() tells what
  // it was, for the caller to show, and the station stays up for the operator.
  void Start();
  // What stopped the start-up steps; empty when they all ran.
  const std::string& LoadError() const { return loadError_; }
  bool TimerRunning() const { return timer_.isActive(); }
  // Errors raised out of event work since the start.
  uint64_t Faults() const { return errors_.Count(); }
  // Timer stopped, transmitter line closed, editor unloaded, links, ticker list
  // and "Delay Everything" saved. Runs once; the destructor calls it.
  void Shutdown();

  Globals& globals() { return core_.globals(); }
  EditorModel& editor() { return core_.editor(); }
  ImageBuilder& builder() { return core_.builder(); }
  TransmissionCycle& cycle() { return cycle_; }
  const CycleLamps& Lamps() const { return lamps_; }
  const std::vector<std::string>& TickerList() const { return tickerList_; }
  bool TransmitterOpen() const { return transmitterLine_.IsOpen(); }
  // Packet bytes the serial transmitter line dropped because the device had
  // not taken what was already queued (it answers without reading).
  size_t TransmitterBytesNotSent() const { return transmitterSerial_.DroppedOutputBytes(); }
  // Timing text dropped because too much arrived while a record's handling
  // held the receive loop (a message box left open).
  uint64_t TimingBytesDropped() const { return core_.framer().DroppedBytes(); }

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

  // One line for the operator: lamps, packets, replies, recoveries, throughput.
  std::string StatusLine() const;
  // Whether the transmitter's serial line runs in the driver's low-latency mode.
  std::string LowLatencyText() const;

  // The 1000 ms timer's work; public so tests can drive it.
  void OnTimerTick();

 Q_SIGNALS:
  void LampsChanged();

 private:
  // Where block packets go: the transmitter's serial line or its own network link.
  class TransmitterOutput : public TransmitterLine {
   public:
    explicit TransmitterOutput(Station& station) : station_(station) {}
    bool IsOpen() const override;
    void Write(const BlockPacket& packet) override;

   private:
    Station& station_;
  };

  class ImageRegions : public ImageMaintenance {
   public:
    explicit ImageRegions(ImageBuilder& builder) : builder_(builder) {}
    void BuildIndexTable() override { builder_.BuildIndexTable(); }
    void BuildImage() override { builder_.BuildImage(); }

   private:
    ImageBuilder& builder_;
  };

  void OpenTransmitter();
  void OpenTiming();
  // Connects the timing link over TCP; false when that fails.
  bool ConnectTimingSystem();
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
  void OnLineError(const char* which, const std::string& why);

  SettingsStore& settings_;
  Prompter& prompter_;
  StationOptions options_;
  std::unique_ptr<ClassesRootHive> classes_;

  TimingPipeline core_;
  ImageRegions regions_;
  TransmitterOutput transmitterLine_;
  TransmissionCycle cycle_;

  QtSerialLine timingSerial_;
  QtSerialLine transmitterSerial_;
  bool lowLatencyWanted_ = true;
  SerialLine::LowLatency transmitterLatency_ = SerialLine::LowLatency::kNotOffered;
  std::unique_ptr<NetworkLink> timingNet_;
  std::unique_ptr<NetworkLink> transmitterNet_;
  QTimer timer_;

  std::string loadError_;
  ErrorReporter errors_;
  CycleLamps lamps_;
  std::vector<std::string> tickerList_;
  bool started_ = false;
  bool shutDown_ = false;
  int64_t startedMs_ = 0;
  uint64_t passesSeen_ = 0;
  int64_t lastFullPassMs_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_STATION_H_
