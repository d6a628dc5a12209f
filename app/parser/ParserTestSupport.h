// Fakes and a bench for the parser tests: an editor and a page sender that
// record what they are asked, around a real Globals and settings store.
#ifndef TORVANE_APP_PARSER_PARSERTESTSUPPORT_H_
#define TORVANE_APP_PARSER_PARSERTESTSUPPORT_H_

#include <string>
#include <vector>

#include "Globals.h"
#include "Prompter.h"
#include "SettingsStore.h"
#include "TimingContext.h"

namespace torvane::testing_support {

class FakeEditor : public PageEditorLink {
 public:
  void OutputPageUpdate(int16_t page) override { calls.push_back("Update(" + N(page) + ")"); }
  bool LoadClassListing() override {
    calls.emplace_back("LoadClassListing");
    return true;
  }
  const std::vector<std::string>& Categories() const override { return categories; }
  void ShowNoCategoryMatch() override { calls.emplace_back("Alert"); }
  void ShowTimingSelection(int16_t category, int16_t raceType, int16_t round) override {
    calls.push_back("Select(" + N(category) + "," + N(raceType) + "," + N(round) + ")");
  }

  std::vector<std::string> categories;
  std::vector<std::string> calls;

 private:
  static std::string N(int v) { return std::to_string(v); }
};

class RecordingSender : public PageSender {
 public:
  void SendPageTitle(int16_t page) override { calls.push_back("Title(" + N(page) + ")"); }
  void SendResultLine(int16_t b, int16_t line) override {
    calls.push_back("Line(" + N(b) + "," + N(line) + ")");
  }
  void SendResultNames(int16_t b, int16_t line) override {
    calls.push_back("Names(" + N(b) + "," + N(line) + ")");
  }
  void SendResultBody(int16_t page) override { calls.push_back("Body(" + N(page) + ")"); }
  void SendWholePage(int16_t page) override { calls.push_back("Whole(" + N(page) + ")"); }

  std::vector<std::string> calls;

 private:
  static std::string N(int v) { return std::to_string(v); }
};

// Pages 0..2 as a fresh store has them (page 1 at 392 with 13 lines).
struct ParserBench {
  Globals g;
  SettingsStore settings;
  ScriptedPrompter prompter;
  FakeEditor editor;
  RecordingSender sender;

  TimingContext Context() { return {g, settings, prompter, editor, sender}; }
  const std::string& Line(int page, int line) const {
    return g.Pages[page].Lines.at(static_cast<size_t>(line));
  }
  void ClearCalls() {
    editor.calls.clear();
    sender.calls.clear();
  }
};

}  // namespace torvane::testing_support

#endif  // TORVANE_APP_PARSER_PARSERTESTSUPPORT_H_
