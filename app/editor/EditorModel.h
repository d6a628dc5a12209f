// The page editor without its window: the page shown and its rows, the
// category settings, the venue and the page hold. Each event of the editor
// window maps to one call here; every change is announced to the observers so a
// window can repaint from the model. The timing parsers reach the editor
// through the PageEditorLink it implements.
#ifndef TORVANE_APP_EDITOR_EDITORMODEL_H_
#define TORVANE_APP_EDITOR_EDITORMODEL_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "PageColours.h"
#include "TimingContext.h"

namespace torvane {

struct Globals;
class Prompter;
class SettingsStore;

// One row of the page grid: the line box and the link box.
struct EditorRow {
  std::string text;
  std::string link;
};

class EditorModel : public PageEditorLink {
 public:
  // What changed, for the window to repaint.
  enum class Change {
    kCategories,       // the category list and its selection
    kCategoryColours,  // the category list's colours
    kRaceControls,     // race type, round number, class text, heads-up box
    kPage,             // page number, size, rows, title, address, colours
    kVenue,
    kPageDelay,
    kColours,  // the page shown's colour indexes or the area being edited
  };
  using Observer = std::function<void(Change)>;

  static constexpr int kMaxCategories = 51;
  static constexpr int kMaxVenue = 100;
  static constexpr int kMaxPageDelay = 20;  // seconds
  static constexpr int32_t kNormalForeColour = 0x000000;
  static constexpr int32_t kNormalBackColour = 0xFFFFFF;

  static constexpr std::string_view kActivationTitle = "TorvaneTX - Category Activation";
  static constexpr std::string_view kActivationMessage =
      "Detected Category list count difference!\n  Press Save Layout button and try again...";
  static constexpr std::string_view kCategoriesIndexTitle = "CATEGORIES INDEX";

  // The chooser entries, in position order.
  static const std::vector<std::string>& RaceTypeItems();
  static const std::vector<std::string>& VenueItems();
  static const std::vector<std::string>& PageDelayItems();

  // All references must outlive the model.
  EditorModel(Globals& globals, SettingsStore& settings, Prompter& prompter, PageSender& sender);

  // Returns the id that RemoveObserver takes. An observer must be removed
  // before anything it refers to goes away.
  size_t AddObserver(Observer observer);
  // Safe to call from inside a notification.
  void RemoveObserver(size_t id);

  // Window load: categories and the active category (whose activation does
  // nothing yet, the page store being empty), venue and page hold, the page
  // store from the settings, then page 0 shown.
  void Load();
  // True once Load has read the whole page store; until then an unload would
  // write a store that does not hold the operator's pages.
  bool PagesLoaded() const { return pagesLoaded_; }
  // Window unload: "MaxPages", the pages, "VenueID" and "PageDelay" stored,
  // each flushed to the settings file on its own. A step whose data did not
  // reach the file is reported with its message ("Unable to Save Maximum Page
  // Size", "Unable to Save Page Data!", "Unable to Save VenueID!", "Unable to
  // Save Page Delay!"; OK only, the program's title) and the next step runs.
  void Unload();
  // Save Layout: the pages stored (reported as the unload reports them when
  // they do not reach the file), the categories refilled from page 2 and the
  // active category restored (and so activated again).
  void SaveLayout();

  // ---- Categories and race settings
  // The category list from page 2's stored lines ("P0".."P50" until one is
  // missing), trimmed; position 0 selected when there is any.
  void FillCategories();
  // Selects the stored "ActiveCategory" when it is a position of the list, then
  // activates the selection.
  void RestoreActiveCategory();
  // cboCategory click: normal colours, the category's stored race type, round,
  // class and heads-up shown. -1 clears the selection.
  void SelectCategory(int position);
  // The operator's changes of the race controls; each is stored under the
  // selected category (when there is one with a non-empty text).
  void SelectRaceType(int position);  // -1..3
  void SetRoundNumberText(std::string_view text);
  void SetClassText(std::string_view text);  // as typed
  void CommitClassText();                    // the class box lost the focus
  void SetHeadsUpChecked(bool checked);
  // cmdActivate: the selected category becomes the class being raced.
  void Activate();
  // cmdGetClasses: the text to send to the timing system ("~AC", then "~AC\r"
  // on the next click, and so on); the caller sends it only while connected.
  std::string ToggleGetClasses();
  bool GetClassesVisible() const;

  const std::vector<std::string>& Categories() const override { return categories_; }
  int CategoryPosition() const { return category_; }
  int32_t CategoryForeColour() const { return categoryFore_; }
  int32_t CategoryBackColour() const { return categoryBack_; }
  int RaceTypePosition() const { return raceType_; }
  const std::string& RoundNumberText() const { return roundNumber_; }
  const std::string& ClassText() const { return classText_; }
  bool HeadsUpChecked() const { return headsUp_; }

  // ---- PageEditorLink
  void OutputPageUpdate(int16_t page) override;
  bool LoadClassListing() override;
  void ShowNoCategoryMatch() override;
  void ShowTimingSelection(int16_t category, int16_t raceType, int16_t round) override;

  // ---- The page shown
  // txtPage lost the focus / updCurrentPage changed: shows page text (not
  // numeric: 0; above N: N) with the store's size of that page.
  void ShowPage(std::string_view pageText);
  // txtPageSize lost the focus / updPageSize changed: resizes the page shown
  // (not numeric: 0; page 1 at least 12; above 200 refused), rechains the
  // addresses and stores "PageSize". A size that would push the page blocks
  // past 32000 is refused with a message; the page keeps its size.
  void SetPageSize(std::string_view sizeText);
  // Fills the rows from the store for page, when it is the page shown. On page
  // 1 a link below 3 becomes 255 in the store first.
  void DisplayPageData(int16_t page);

  int16_t CurrentPage() const { return currentPage_; }
  int16_t ShownSize() const { return shownSize_; }
  int16_t HighestPage() const;  // the page spinner's Max, N
  const std::string& PageText() const { return pageText_; }
  const std::string& PageSizeText() const { return pageSizeText_; }
  const std::vector<EditorRow>& Rows() const { return rows_; }
  const std::string& TitleText() const { return titleText_; }
  const std::string& AddressText() const { return addressText_; }
  // The page shown's colour indexes, defaults stored when it was shown.
  const PageColours& ShownColours() const { return colours_; }

  // ---- Editing the page shown. Rows outside 0..ShownSize change nothing.
  // txtData(row) changed: the line of the page shown = text cut or padded to 20.
  void SetLineText(int row, std::string_view text);
  // txtLink(row) changed: a numeric text of 255 or less becomes the link (empty
  // text: 0); a larger value leaves the stored link as it was.
  void SetLinkText(int row, std::string_view text);
  // txtLink(row) validated or left: the link check. Text that is not numeric, a
  // page above N, below 3 on page 2, or below 3 in line 12 of page 1 turns the
  // box and the link into 255; true when that happened.
  bool CheckLink(int row);
  // txtTitle changed: the title of the page shown, cut or padded to 16.
  void SetTitleText(std::string_view text);
  // txtTitle lost the focus: on page 1 the title becomes the current class.
  void CommitTitle();
  // txtPageSize validated and left: a numeric text of 200 or more becomes
  // "200", then the size is set as SetPageSize does.
  void CommitPageSizeText(std::string_view text);

  // Lines 0, 1, ... of the page shown from lines, as far as the page reaches;
  // lines of the page beyond lines keep their text. The number filled.
  int FillLines(const std::vector<std::string>& lines);
  // Clipboard text cut at its line ends (CR LF, CR or LF) into lines; text after
  // the last line end is not used. The lines fill the page as FillLines does.
  int PasteText(std::string_view text);
  // Cut into lines as PasteText does.
  static std::vector<std::string> SplitPastedLines(std::string_view text);
  // Both paste commands: the text readClipboard returns goes through PasteText.
  // An error raised while reading it or filling the lines shows
  // kPasteErrorText (OK only, the program's title); lines filled so far stay.
  static constexpr std::string_view kPasteErrorText = "Error pasting data from the Clipboard!";
  void PasteFromClipboard(const std::function<std::string()>& readClipboard);
  // The page shown emptied: blank title, every line blank and linked to 255.
  void ClearPage();

  // Add Page / Delete Page: the page store grows or loses its last page (and
  // that page's settings key), limits 126 and 3; the new last page is shown, the
  // transmit cursor goes to 0 and the image is rebuilt. False when refused.
  bool AddPage();
  bool DeletePage();
  // Called after a page is added or removed; rebuilds the index table and image.
  void SetImageRebuilder(std::function<void()> rebuild) { rebuildImage_ = std::move(rebuild); }

  // ---- Colours of the page shown (the "Colors" frame)
  // cboPageColor click: the area being edited, 0..3; anything else selects
  // "Page". The choosers then show that area's stored indexes.
  void SelectColourArea(int area);
  int ColourAreaPosition() const { return colourArea_; }
  // A chooser's choice for the area being edited: stored under the page
  // shown's key and painted; "Error saving color settings!" when the value does
  // not reach the settings file. Indexes outside 0..15 change nothing.
  void ChooseForeColour(int index);
  void ChooseBackColour(int index);

  // Page commands that move the cyclic transmit cursor.
  void SendPage();      // to the page shown
  void SendAllPages();  // to the first page block
  void RefreshPages();  // to the start of the image

  // ---- Venue and page hold
  void SelectVenue(int position);      // 0..100
  void SelectPageDelay(int position);  // 0..20 seconds
  int VenuePosition() const { return venue_; }
  int PageDelayPosition() const { return pageDelay_; }

 private:
  TimingContext Context();
  void Notify(Change change);
  bool CategorySelected() const;
  std::string CategoryKeyOfSelection() const;
  void WriteCategorySetting(std::string_view name, std::string_view value);
  void BuildRows(int16_t size);
  void ShowRefusedSize(int16_t wanted);
  bool RowShown(int row) const;
  void ChooseColour(int index, bool background);
  void AfterPageCountChange();
  // Flushes the settings; when the current user's hive is still not on disk,
  // shows message (OK only, the program's title).
  void ReportIfNotOnDisk(std::string_view message);

  Globals& g_;
  SettingsStore& settings_;
  Prompter& prompter_;
  PageSender& sender_;
  std::vector<Observer> observers_;

  bool pagesLoaded_ = false;

  std::vector<std::string> categories_;
  int category_ = -1;
  int32_t categoryFore_ = kNormalForeColour;
  int32_t categoryBack_ = kNormalBackColour;
  int raceType_ = -1;
  std::string roundNumber_ = "0";
  std::string classText_;
  bool headsUp_ = false;
  bool getClassesSent_ = false;

  int16_t currentPage_ = 0;
  int16_t shownSize_ = 0;
  std::string pageText_ = "0";
  std::string pageSizeText_ = "0";
  std::vector<EditorRow> rows_{EditorRow{}};
  std::string titleText_;
  std::string addressText_;
  PageColours colours_{};
  int colourArea_ = 0;
  std::function<void()> rebuildImage_;

  int venue_ = 0;
  int pageDelay_ = 0;
};

}  // namespace torvane

#endif  // TORVANE_APP_EDITOR_EDITORMODEL_H_
