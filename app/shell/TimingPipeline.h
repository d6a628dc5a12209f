// The timing-data path of the program without its devices and timers: the
// start-up it needs (page store and editor loaded from the settings, Delay
// Everything, the whole image built), then arrivals of text through the receive
// framing into the parsers, the page builders and the page writer. The station
// runs it behind its lines; torvanetx-cli replay, the end-to-end tests and the
// fuzz target run it on recorded text.
#ifndef TORVANE_APP_SHELL_TIMINGPIPELINE_H_
#define TORVANE_APP_SHELL_TIMINGPIPELINE_H_

#include <cstdint>
#include <optional>
#include <string_view>

#include "EditorModel.h"
#include "Globals.h"
#include "ImageBuilder.h"
#include "ImagePageSender.h"
#include "PageWriter.h"
#include "ReceiveFramer.h"
#include "TimingParser.h"

namespace torvane {

class Prompter;
class SettingsStore;

struct PipelineStart {
  int16_t dayOfYear = 0;
  // Overrides the stored "DelayEverything" (missing or not 0: on).
  std::optional<bool> delayEverything;
  // The timing link runs over TCP (command stream input).
  bool timingTcpActive = false;
};

// settings and prompter must outlive the pipeline. Not copyable or movable: the
// parts hold references to each other.
class TimingPipeline {
 public:
  TimingPipeline(SettingsStore& settings, Prompter& prompter);
  TimingPipeline(const TimingPipeline&) = delete;
  TimingPipeline& operator=(const TimingPipeline&) = delete;

  // What start-up does before timing text can arrive: receive state and send
  // windows reset, Delay Everything, the editor loaded (categories, active
  // category, venue, page hold, pages), the transmit cursor at 0, the index
  // table and the image built.
  void StartUp(const PipelineStart& start);

  // One arrival of text in the given framing.
  void Receive(std::string_view text, Framing framing);

  Globals& globals() { return g_; }
  const Globals& globals() const { return g_; }
  EditorModel& editor() { return editor_; }
  ReceiveFramer& framer() { return framer_; }
  const ReceiveFramer& framer() const { return framer_; }
  ImageBuilder& builder() { return builder_; }
  TimingParser& parser() { return parser_; }
  // Whole records handed to the parsers since construction.
  uint64_t RecordsReceived() const { return recordsReceived_; }

 private:
  void Deliver(Framing framing, const std::string& record);

  SettingsStore& settings_;
  Globals g_;
  ImageBuilder builder_;
  PageWriter writer_;
  ImagePageSender sender_;
  EditorModel editor_;
  TimingParser parser_;
  ReceiveFramer framer_;
  uint64_t recordsReceived_ = 0;
};

// "DelayEverything" as stored: on unless the stored value is 0.
bool StoredDelayEverything(const SettingsStore& settings);

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_TIMINGPIPELINE_H_
