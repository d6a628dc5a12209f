// What the timing parsers and the page builders reach beyond the race state:
// the page writer that stores a page in the image and queues its rows, and the
// page editor that shows pages and holds the category list.
#ifndef TORVANE_APP_PARSER_TIMINGCONTEXT_H_
#define TORVANE_APP_PARSER_TIMINGCONTEXT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace torvane {

struct Globals;
class SettingsStore;
class Prompter;

// The five page writer entries. Each rewrites a page's block in the image from
// the page store and opens one priority send window over the rows that
// changed; callers put the new text into the store first.
class PageSender {
 public:
  virtual ~PageSender() = default;
  virtual void SendPageTitle(int16_t page) = 0;
  // blockAddress is page 1's Address.
  virtual void SendResultLine(int16_t blockAddress, int16_t line) = 0;
  virtual void SendResultNames(int16_t blockAddress, int16_t line) = 0;
  virtual void SendResultBody(int16_t page) = 0;
  virtual void SendWholePage(int16_t page) = 0;
};

// The page editor as the timing data sees it.
class PageEditorLink {
 public:
  // Category list text colours (0x00BBGGRR).
  static constexpr int32_t kAlertForeColour = 0xFFFFFF;  // white
  static constexpr int32_t kAlertBackColour = 0x0000FF;  // red

  virtual ~PageEditorLink() = default;
  // page changed in the store: refresh it if it is the page shown.
  virtual void OutputPageUpdate(int16_t page) = 0;
  // The timing system has sent its whole class list: rewrite page 2 from it.
  virtual bool LoadClassListing() = 0;
  // The entries of the category list, in list order.
  virtual const std::vector<std::string>& Categories() const = 0;
  // No category matches the class being raced: the list turns white on red.
  virtual void ShowNoCategoryMatch() = 0;
  // The timing data selected category (its list position), raceType and round:
  // the editor selects them in its controls as if the operator had.
  virtual void ShowTimingSelection(int16_t category, int16_t raceType, int16_t round) = 0;
};

// Everything must outlive the calls that receive the context.
struct TimingContext {
  Globals& globals;
  SettingsStore& settings;
  Prompter& prompter;
  PageEditorLink& editor;
  PageSender& sender;
};

}  // namespace torvane

#endif  // TORVANE_APP_PARSER_TIMINGCONTEXT_H_
