#include "EditorModel.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>

#include "Formats.h"
#include "Globals.h"
#include "ImageLayout.h"
#include "PageStoreSettings.h"
#include "Prompter.h"
#include "RaceFields.h"
#include "ResultPage.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

constexpr int kFirstPageLink = 3;  // links below 3 lead nowhere on page 1
constexpr int16_t kResultPageLink = 1;
constexpr std::string_view kProgramTitle = "TorvaneTX";

constexpr std::string_view kMaxPagesNotSaved = "Unable to Save Maximum Page Size";
constexpr std::string_view kPagesNotSaved = "Unable to Save Page Data!";
constexpr std::string_view kVenueNotSaved = "Unable to Save VenueID!";
constexpr std::string_view kPageDelayNotSaved = "Unable to Save Page Delay!";
constexpr std::string_view kColoursNotSaved = "Error saving color settings!";

bool Missing(const std::string& value) { return value == kNoKeyValue; }

// A numeric text as a list position 0..last; nullopt otherwise.
std::optional<int> Position(std::string_view text, int last) {
  const std::optional<int16_t> value = ToInt16(text);
  if (!value || *value < 0 || *value > last) return std::nullopt;
  return *value;
}

std::string Hex(int16_t address) {
  char text[8];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(static_cast<uint16_t>(address)));
  return text;
}

}  // namespace

const std::vector<std::string>& EditorModel::RaceTypeItems() {
  static const std::vector<std::string> items = {"Time Trials", "Qualify", "Eliminations",
                                                 "Class Eliminations"};
  return items;
}

const std::vector<std::string>& EditorModel::VenueItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> venues;
    for (int i = 0; i <= kMaxVenue; ++i) venues.push_back(std::to_string(i));
    return venues;
  }();
  return items;
}

const std::vector<std::string>& EditorModel::PageDelayItems() {
  static const std::vector<std::string> items = [] {
    std::vector<std::string> delays = {"Disable", "1 second"};
    for (int i = 2; i <= kMaxPageDelay; ++i) delays.push_back(std::to_string(i) + " seconds");
    return delays;
  }();
  return items;
}

EditorModel::EditorModel(Globals& globals, SettingsStore& settings, Prompter& prompter,
                         PageSender& sender)
    : g_(globals), settings_(settings), prompter_(prompter), sender_(sender) {}

size_t EditorModel::AddObserver(Observer observer) {
  observers_.push_back(std::move(observer));
  return observers_.size() - 1;
}

// The slot stays, emptied, so the ids of the others keep their meaning.
void EditorModel::RemoveObserver(size_t id) {
  if (id < observers_.size()) observers_[id] = nullptr;
}

void EditorModel::Notify(Change change) {
  // By index: an observer may add or remove observers while it runs.
  for (size_t i = 0; i < observers_.size(); ++i) {
    if (observers_[i]) {
      const Observer observer = observers_[i];
      observer(change);
    }
  }
}

TimingContext EditorModel::Context() { return {g_, settings_, prompter_, *this, sender_}; }

// ---------------------------------------------------------------- load, unload

void EditorModel::Load() {
  SettingsStore::Batch batch(settings_);
  pagesLoaded_ = false;
  FillCategories();
  RestoreActiveCategory();

  const std::string venue = settings_.ReadSetting(kMainKey, kVenueId);
  SelectVenue(Position(Missing(venue) ? "0" : venue, kMaxVenue).value_or(0));
  const std::string delay = settings_.ReadSetting(kMainKey, kPageDelay);
  SelectPageDelay(Position(Missing(delay) ? "0" : delay, kMaxPageDelay).value_or(0));

  LoadPageStore(settings_, g_.Pages);
  pagesLoaded_ = true;
  currentPage_ = std::min<int16_t>(currentPage_, g_.Pages.N());
  ShowPage(std::to_string(currentPage_));
}

void EditorModel::ReportIfNotOnDisk(std::string_view message) {
  // A write inside a batch is only in memory; flushing tells whether it can
  // reach the file at all (a full disk, a removed stick, a folder gone).
  settings_.Flush();
  if (!settings_.HasUnsavedChanges(Hive::kCurrentUser)) return;
  prompter_.Show(
      {std::string(message), std::string(kProgramTitle), PromptIcon::kNone, PromptButtons::kOk});
}

void EditorModel::Unload() {
  SettingsStore::Batch batch(settings_);
  // Each step is checked on its own; a failed one is reported and the next
  // still runs, so whatever can be saved is.
  SavePageCount(settings_, g_.Pages);
  ReportIfNotOnDisk(kMaxPagesNotSaved);
  SavePages(settings_, g_.Pages);
  ReportIfNotOnDisk(kPagesNotSaved);
  settings_.WriteSetting(kMainKey, kVenueId, VenueItems()[static_cast<size_t>(venue_)], kRegSz);
  ReportIfNotOnDisk(kVenueNotSaved);
  settings_.WriteSetting(kMainKey, kPageDelay, std::to_string(pageDelay_), kRegSz);
  ReportIfNotOnDisk(kPageDelayNotSaved);
}

void EditorModel::SaveLayout() {
  SettingsStore::Batch batch(settings_);
  SavePages(settings_, g_.Pages);
  // The operator asked for the save: a silent failure would pass for success.
  ReportIfNotOnDisk(kPagesNotSaved);
  FillCategories();
  RestoreActiveCategory();
}

// ------------------------------------------------------------------ categories

void EditorModel::FillCategories() {
  categories_.clear();
  const std::string key = PageKey(kCategoryPage);
  for (int k = 0; k < kMaxCategories; ++k) {
    const std::string line = settings_.ReadSetting(key, TextValueName(k));
    if (Missing(line)) break;
    categories_.emplace_back(TrimSpaces(line));
  }
  category_ = -1;
  Notify(Change::kCategories);
  if (!categories_.empty()) SelectCategory(0);
}

void EditorModel::RestoreActiveCategory() {
  const std::string stored = settings_.ReadSetting(PageKey(kCategoryPage), kActiveCategory);
  const std::optional<int> position = Position(stored, static_cast<int>(categories_.size()) - 1);
  if (position) SelectCategory(*position);
  Activate();
}

bool EditorModel::CategorySelected() const {
  return category_ >= 0 && static_cast<size_t>(category_) < categories_.size() &&
         !categories_[static_cast<size_t>(category_)].empty();
}

std::string EditorModel::CategoryKeyOfSelection() const {
  return CategoryKey(categories_[static_cast<size_t>(category_)]);
}

void EditorModel::SelectCategory(int position) {
  if (position < -1 || position >= static_cast<int>(categories_.size())) return;
  category_ = position;
  categoryFore_ = kNormalForeColour;
  categoryBack_ = kNormalBackColour;
  Notify(Change::kCategories);
  Notify(Change::kCategoryColours);
  if (!CategorySelected()) return;

  const std::string key = CategoryKeyOfSelection();
  raceType_ = Position(settings_.ReadSetting(key, kRaceType), kClassEliminations).value_or(-1);
  const std::string round = settings_.ReadSetting(key, kRoundNumber);
  roundNumber_ = IsNumeric(round) ? round : "0";
  const std::string classText = settings_.ReadSetting(key, kClass);
  classText_ = Missing(classText) ? "*" : classText;
  headsUp_ = settings_.ReadSetting(key, kHeadsUp) == "1";
  Notify(Change::kRaceControls);
}

void EditorModel::WriteCategorySetting(std::string_view name, std::string_view value) {
  if (!CategorySelected()) return;
  settings_.WriteSetting(CategoryKeyOfSelection(), name, value, kRegSz);
}

void EditorModel::SelectRaceType(int position) {
  if (position < -1 || position > kClassEliminations) return;
  raceType_ = position;
  Notify(Change::kRaceControls);
  if (position >= 0) WriteCategorySetting(kRaceType, std::to_string(position));
}

void EditorModel::SetRoundNumberText(std::string_view text) {
  roundNumber_ = text;
  Notify(Change::kRaceControls);
  WriteCategorySetting(kRoundNumber, text);
}

void EditorModel::SetClassText(std::string_view text) {
  classText_ = text;
  Notify(Change::kRaceControls);
}

void EditorModel::CommitClassText() { WriteCategorySetting(kClass, classText_); }

void EditorModel::SetHeadsUpChecked(bool checked) {
  headsUp_ = checked;
  Notify(Change::kRaceControls);
  WriteCategorySetting(kHeadsUp, checked ? "1" : "0");
}

void EditorModel::Activate() {
  if (!CategorySelected() || !pagesLoaded_) return;
  PageStore& pages = g_.Pages;
  const size_t indexLines = pages[kCategoryPage].Lines.size();
  if (categories_.size() != indexLines) {
    prompter_.Show({std::string(kActivationMessage), std::string(kActivationTitle),
                    PromptIcon::kCritical, PromptButtons::kOk});
    return;
  }
  const auto position = static_cast<size_t>(category_);
  settings_.WriteSetting(PageKey(kCategoryPage), kActiveCategory, std::to_string(category_),
                         kRegSz);
  const std::vector<int16_t>& links = pages[kCategoryPage].Links;
  pages.SetLink(kResultPageNumber, kMarginLine,
                position < links.size() ? links[position] : kNoLink);

  RaceState& race = g_.Race;
  race.CurrentClass = FixedText(categories_[position], kTitleWidth);
  race.ActiveCategory = static_cast<int16_t>(category_);
  if (raceType_ >= 0) race.RaceType = static_cast<int16_t>(raceType_);
  if (const std::optional<int16_t> round = ToInt16(roundNumber_)) race.RoundNumber = *round;
  race.HeadsUp = headsUp_;

  BuildResultPage(Context());
  sender_.SendPageTitle(kResultPageNumber);
}

std::string EditorModel::ToggleGetClasses() {
  getClassesSent_ = !getClassesSent_;
  return getClassesSent_ ? "~AC" : "~AC\r";
}

bool EditorModel::GetClassesVisible() const { return g_.TimingTcpActive; }

// ------------------------------------------------------------- PageEditorLink

void EditorModel::OutputPageUpdate(int16_t page) {
  if (page == currentPage_) DisplayPageData(page);
}

bool EditorModel::LoadClassListing() {
  std::vector<std::string> names;
  for (int i = 0;; ++i) {
    std::string name = settings_.ReadSetting(kClassListingKey, IndexValueName(i));
    if (Missing(name)) break;
    names.push_back(std::move(name));
  }
  const int last = static_cast<int>(names.size()) - 1;

  ShowPage(std::to_string(kCategoryPage));
  if (last > shownSize_) SetPageSize(std::to_string(last));

  // The size may have been refused: only the lines the page has are written.
  PageStore& pages = g_.Pages;
  pages.SetTitle(kCategoryPage, kCategoriesIndexTitle);
  const int lastLine = pages.PageSize(kCategoryPage);
  for (int i = 0; i <= lastLine; ++i) {
    const bool named = i <= last;
    pages.SetLine(kCategoryPage, i, named ? names[static_cast<size_t>(i)] : "");
    pages.SetLink(kCategoryPage, i, named ? kResultPageLink : kNoLink);
  }
  DisplayPageData(kCategoryPage);
  return true;
}

void EditorModel::ShowNoCategoryMatch() {
  categoryFore_ = kAlertForeColour;
  categoryBack_ = kAlertBackColour;
  Notify(Change::kCategoryColours);
}

void EditorModel::ShowTimingSelection(int16_t category, int16_t raceType, int16_t round) {
  // As if the operator had chosen them: the category's stored settings come
  // up, then the race type and round of the timing data are stored for it.
  SelectCategory(category);
  if (raceType >= kTimeTrials && raceType <= kClassEliminations) SelectRaceType(raceType);
  SetRoundNumberText(std::to_string(round));
}

// -------------------------------------------------------------- the page shown

int16_t EditorModel::HighestPage() const { return g_.Pages.N(); }

void EditorModel::ShowPage(std::string_view pageText) {
  const int16_t n = g_.Pages.N();
  int16_t page = 0;
  if (IsNumeric(pageText)) {
    const std::optional<int16_t> value = ToInt16(pageText);
    if (value) {
      page = std::clamp<int16_t>(*value, 0, n);
    } else {
      page = TrimSpaces(pageText).front() == '-' ? 0 : n;
    }
  }
  currentPage_ = page;
  pageText_ = std::to_string(page);
  // The store's own size: it equals the stored "PageSize" whenever the store
  // came from the settings or was resized here, and it keeps the address
  // chain true where a stored value went missing (a page just added).
  colours_ = LoadPageColours(settings_, page);
  BuildRows(g_.Pages.PageSize(page));
  DisplayPageData(page);
  Notify(Change::kPage);
}

void EditorModel::BuildRows(int16_t size) {
  shownSize_ = size;
  pageSizeText_ = std::to_string(size);
  rows_.assign(static_cast<size_t>(size) + 1, EditorRow{});
}

void EditorModel::ShowRefusedSize(int16_t wanted) {
  const int16_t size = g_.Pages.PageSize(currentPage_);
  prompter_.Show({"Page " + std::to_string(currentPage_) + " cannot grow to " +
                      std::to_string(wanted + 1) +
                      " lines: the pages would no longer fit into the memory map.\nThe page "
                      "keeps its " +
                      std::to_string(size + 1) + " lines.",
                  std::string(kProgramTitle), PromptIcon::kWarning, PromptButtons::kOk});
}

void EditorModel::SetPageSize(std::string_view sizeText) {
  std::optional<int16_t> wanted = ToInt16(sizeText);
  if (!IsNumeric(sizeText)) wanted = 0;
  // A number beyond the 16-bit range is certainly above the largest size.
  int size = wanted ? std::max<int>(*wanted, 0) : kMaxPageSize + 1;
  if (currentPage_ == kResultPageNumber && size < kResultPageMinSize) size = kResultPageMinSize;

  PageStore& pages = g_.Pages;
  const int16_t oldSize = pages.PageSize(currentPage_);
  if (size > kMaxPageSize) {
    pageSizeText_ = std::to_string(oldSize);
    Notify(Change::kPage);
    return;
  }
  // Refused rather than dropping the last page: a size change never loses one.
  const int end = pages.BlocksEnd() - pages.PageBlockSize(currentPage_) + BlockSizeForLines(size);
  if (size > oldSize && end > kPageAreaEnd) {
    ShowRefusedSize(static_cast<int16_t>(size));
    pageSizeText_ = std::to_string(oldSize);
    Notify(Change::kPage);
    return;
  }

  pages.SetPageSize(currentPage_, size);  // keeps existing lines, rechains the addresses
  BuildRows(static_cast<int16_t>(size));
  DisplayPageData(currentPage_);
  WritePageSize(settings_, currentPage_, size);
  Notify(Change::kPage);
}

void EditorModel::DisplayPageData(int16_t page) {
  if (page != currentPage_ || page < 0 || page > g_.Pages.N()) return;
  PageStore& pages = g_.Pages;
  const size_t lines = std::min(rows_.size(), pages[page].Lines.size());
  for (size_t i = 0; i < lines; ++i) {
    const int line = static_cast<int>(i);
    if (page == kResultPageNumber && pages[page].Links[i] < kFirstPageLink) {
      pages.SetLink(page, line, kNoLink);
    }
    rows_[i].link = std::to_string(pages[page].Links[i]);
    rows_[i].text = pages[page].Lines[i];
  }
  titleText_ = pages[page].Title;
  addressText_ = Hex(pages[page].Address);
  Notify(Change::kPage);
}

// ------------------------------------------------------------- editing rows

bool EditorModel::RowShown(int row) const {
  return row >= 0 && row <= shownSize_ && static_cast<size_t>(row) < rows_.size();
}

void EditorModel::SetLineText(int row, std::string_view text) {
  if (!RowShown(row)) return;
  rows_[static_cast<size_t>(row)].text = text;
  g_.Pages.SetLine(currentPage_, row, text);
}

void EditorModel::SetLinkText(int row, std::string_view text) {
  if (!RowShown(row)) return;
  rows_[static_cast<size_t>(row)].link = text;
  if (TrimSpaces(text).empty()) {
    g_.Pages.SetLink(currentPage_, row, 0);
    return;
  }
  if (!IsNumeric(text)) return;
  const std::optional<int16_t> value = ToInt16(text);
  if (value && *value >= 0 && *value <= kNoLink) g_.Pages.SetLink(currentPage_, row, *value);
}

bool EditorModel::CheckLink(int row) {
  if (!RowShown(row)) return false;
  const std::string& text = rows_[static_cast<size_t>(row)].link;
  const std::optional<int16_t> value = IsNumeric(text) ? ToInt16(text) : std::nullopt;
  const bool refused =
      !value || *value < 0 || *value > g_.Pages.N() ||
      (currentPage_ == kCategoryPage && *value < kFirstPageLink) ||
      (currentPage_ == kResultPageNumber && row == kMarginLine && *value < kFirstPageLink);
  if (!refused) return false;
  SetLinkText(row, std::to_string(kNoLink));
  return true;
}

void EditorModel::SetTitleText(std::string_view text) {
  titleText_ = text;
  g_.Pages.SetTitle(currentPage_, text);
}

void EditorModel::CommitTitle() {
  if (currentPage_ == kResultPageNumber) g_.Race.CurrentClass = FixedText(titleText_, kTitleWidth);
}

void EditorModel::CommitPageSizeText(std::string_view text) {
  if (IsNumeric(text)) {
    const std::optional<int16_t> value = ToInt16(text);
    if (!value || *value >= kMaxPageSize) {
      SetPageSize(std::to_string(kMaxPageSize));
      return;
    }
  }
  SetPageSize(text);
}

int EditorModel::FillLines(const std::vector<std::string>& lines) {
  int filled = 0;
  for (; filled <= shownSize_ && static_cast<size_t>(filled) < lines.size(); ++filled) {
    SetLineText(filled, lines[static_cast<size_t>(filled)]);
  }
  Notify(Change::kPage);
  return filled;
}

std::vector<std::string> EditorModel::SplitPastedLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return lines;
}

int EditorModel::PasteText(std::string_view text) {
  const std::vector<std::string> lines = SplitPastedLines(text);
  if (lines.empty()) return 0;
  return FillLines(lines);
}

void EditorModel::PasteFromClipboard(const std::function<std::string()>& readClipboard) {
  try {
    const std::string text = readClipboard();
    if (!text.empty()) PasteText(text);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "TorvaneTX: paste failed: %s\n", e.what());
    prompter_.Show({std::string(kPasteErrorText), std::string(kProgramTitle), PromptIcon::kNone,
                    PromptButtons::kOk});
  }
}

void EditorModel::ClearPage() {
  SetTitleText("");
  for (int i = 0; i <= shownSize_; ++i) {
    SetLineText(i, "");
    SetLinkText(i, std::to_string(kNoLink));
  }
  DisplayPageData(currentPage_);
}

void EditorModel::AfterPageCountChange() {
  ShowPage(std::to_string(g_.Pages.N()));
  g_.TxCursor = 0;
  if (rebuildImage_) rebuildImage_();
}

bool EditorModel::AddPage() {
  if (!g_.Pages.AddPage()) return false;
  AfterPageCountChange();
  return true;
}

bool EditorModel::DeletePage() {
  if (!RemoveLastPage(g_.Pages, settings_)) return false;
  AfterPageCountChange();
  return true;
}

// ------------------------------------------------------------------- colours

void EditorModel::SelectColourArea(int area) {
  colourArea_ = area >= 0 && area < kColourAreaCount ? area : 0;
  Notify(Change::kColours);
}

void EditorModel::ChooseColour(int index, bool background) {
  if (index < 0 || index >= kPaletteSize) return;
  const auto area = static_cast<ColourArea>(colourArea_);
  settings_.WriteSetting(PageKey(currentPage_),
                         background ? BackColorValue(area) : ForeColorValue(area),
                         std::to_string(index), kRegSz);
  (background ? colours_.back : colours_.fore)[static_cast<size_t>(colourArea_)] = index;
  Notify(Change::kColours);
  ReportIfNotOnDisk(kColoursNotSaved);
}

void EditorModel::ChooseForeColour(int index) { ChooseColour(index, false); }
void EditorModel::ChooseBackColour(int index) { ChooseColour(index, true); }

void EditorModel::SendPage() { g_.TxCursor = g_.Pages[currentPage_].Address; }
void EditorModel::SendAllPages() { g_.TxCursor = static_cast<int16_t>(kFirstPageAddress); }
void EditorModel::RefreshPages() { g_.TxCursor = 0; }

// ------------------------------------------------------------ venue and hold

void EditorModel::SelectVenue(int position) {
  if (position < 0 || position > kMaxVenue) return;
  venue_ = position;
  g_.VenueId = static_cast<int16_t>(position);
  g_.TxCursor = 0;
  Notify(Change::kVenue);
}

void EditorModel::SelectPageDelay(int position) {
  if (position < 0 || position > kMaxPageDelay) return;
  pageDelay_ = position;
  g_.PageDelay = position;
  g_.HoldCountdown = 0;
  Notify(Change::kPageDelay);
}

}  // namespace torvane
