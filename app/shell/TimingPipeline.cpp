#include "TimingPipeline.h"

#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {

bool StoredDelayEverything(const SettingsStore& settings) {
  return settings.ReadSetting(kMainKey, kDelayEverything) != "0";
}

TimingPipeline::TimingPipeline(SettingsStore& settings, Prompter& prompter)
    : settings_(settings),
      builder_(g_, settings),
      writer_(g_, builder_),
      sender_(writer_),
      editor_(g_, settings, prompter, sender_),
      parser_(TimingContext{g_, settings, prompter, editor_, sender_}),
      framer_([this](Framing framing, const std::string& record) { Deliver(framing, record); }) {}

void TimingPipeline::StartUp(const PipelineStart& start) {
  g_.DayOfYear = start.dayOfYear;
  framer_.Reset();
  g_.ResetSendWindows();
  g_.TimingTcpActive = start.timingTcpActive;
  g_.DelayEverything = start.delayEverything.value_or(StoredDelayEverything(settings_));
  editor_.Load();
  g_.TxCursor = 0;
  builder_.BuildIndexTable();
  builder_.BuildImage();
}

void TimingPipeline::Receive(std::string_view text, Framing framing) {
  framer_.Receive(text, framing);
}

void TimingPipeline::Deliver(Framing framing, const std::string& record) {
  ++recordsReceived_;
  if (framing == Framing::kCommand) {
    parser_.ParseCommandRecord(record);
  } else {
    parser_.ParseTaggedRecord(record);
  }
}

}  // namespace torvane
