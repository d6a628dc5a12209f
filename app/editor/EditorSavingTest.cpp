// What the page editor model tells the operator when its settings do not reach
// the disk: the four unload messages, Save Layout and the colour choosers, with
// a settings folder that cannot be created (below a regular file, which not
// even root can get past) and with one that works.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "EditorModel.h"
#include "Globals.h"
#include "ParserTestSupport.h"
#include "Prompter.h"
#include "RaceFields.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "TempFolder.h"

namespace torvane {
namespace {

using testing_support::RecordingSender;

const std::vector<std::string> kUnloadMessages = {
    "Unable to Save Maximum Page Size", "Unable to Save Page Data!", "Unable to Save VenueID!",
    "Unable to Save Page Delay!"};

enum class Folder {
  kWritable,
  kUnwritable,
  kWritableAgain,  // unwritable while the operator works, back before the save
};

class EditorSavingTest : public ::testing::TestWithParam<Folder> {
 protected:
  void SetUp() override {
    WriteFileText(folder_.File("plain-file"), "x");
    const std::string settingsFolder = GetParam() == Folder::kWritable
                                           ? folder_.File("config") + "/TorvaneTX"
                                           : folder_.File("plain-file") + "/TorvaneTX";
    files_ = HiveFiles::InFolder(settingsFolder);
    settings_ = std::make_unique<SettingsStore>(files_);
    model_ = std::make_unique<EditorModel>(g_, *settings_, prompter_, sender_);
    settings_->WriteSetting(kPageSettingsKey, kMaxPages, "5", kRegSz);
    model_->Load();
  }
  // The folder comes back (the stick is plugged in again) when the case says so.
  void BeforeSaving() {
    if (GetParam() == Folder::kWritableAgain) {
      ASSERT_EQ(std::remove(folder_.File("plain-file").c_str()), 0);
    }
  }
  bool Saves() const { return GetParam() != Folder::kUnwritable; }
  // The settings as a fresh start would read them from the file.
  std::unique_ptr<SettingsStore> Reopened() const {
    HiveFiles readOnly = files_;
    readOnly.readOnly = true;
    return std::make_unique<SettingsStore>(readOnly);
  }
  void ExpectPlainBoxes() const {
    for (const Prompt& prompt : prompter_.Shown()) {
      SCOPED_TRACE(prompt.text);
      EXPECT_EQ(prompt.title, "TorvaneTX");
      EXPECT_EQ(prompt.icon, PromptIcon::kNone);
      EXPECT_EQ(prompt.buttons, PromptButtons::kOk);
    }
  }

  TempFolder folder_;
  HiveFiles files_;
  Globals g_;
  ScriptedPrompter prompter_;
  RecordingSender sender_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<EditorModel> model_;
};

TEST_P(EditorSavingTest, UnloadReportsEachStepThatDidNotReachTheDisk) {
  model_->SelectVenue(12);
  model_->SelectPageDelay(4);
  g_.Pages.SetLine(3, 0, "FINAL ROUND");
  BeforeSaving();
  model_->Unload();

  EXPECT_EQ(prompter_.Texts(), Saves() ? std::vector<std::string>{} : kUnloadMessages);
  ExpectPlainBoxes();
  // Every step ran, whether or not the one before it failed.
  EXPECT_EQ(settings_->ReadSetting(kMainKey, kVenueId), "12");
  EXPECT_EQ(settings_->ReadSetting(kMainKey, kPageDelay), "4");
  EXPECT_EQ(settings_->ReadSetting(PageKey(3), "P0"), FixedText("FINAL ROUND", 20));

  const auto disk = Reopened();
  const bool onDisk = Saves();
  EXPECT_EQ(disk->ReadSetting(kMainKey, kVenueId) == "12", onDisk);
  EXPECT_EQ(disk->ReadSetting(kMainKey, kPageDelay) == "4", onDisk);
  EXPECT_EQ(disk->ReadSetting(kPageSettingsKey, kMaxPages) == "5", onDisk);
  EXPECT_EQ(disk->ReadSetting(PageKey(3), "P0") == FixedText("FINAL ROUND", 20), onDisk);
}

TEST_P(EditorSavingTest, SaveLayoutReportsPageDataThatDidNotReachTheDisk) {
  g_.Pages.SetLine(4, 0, "LANE CHOICE");
  BeforeSaving();
  model_->SaveLayout();
  EXPECT_EQ(prompter_.Texts(), Saves() ? std::vector<std::string>{}
                                       : std::vector<std::string>{"Unable to Save Page Data!"});
  ExpectPlainBoxes();
  EXPECT_EQ(Reopened()->ReadSetting(PageKey(4), "P0") == FixedText("LANE CHOICE", 20), Saves());
}

TEST_P(EditorSavingTest, ColourChoiceReportsAValueThatDidNotReachTheDisk) {
  model_->ShowPage("2");
  model_->SelectColourArea(1);  // Cursor
  BeforeSaving();
  model_->ChooseBackColour(8);
  model_->ChooseForeColour(3);
  const std::vector<std::string> failed(2, "Error saving color settings!");
  EXPECT_EQ(prompter_.Texts(), Saves() ? std::vector<std::string>{} : failed);
  ExpectPlainBoxes();
  // Stored and painted all the same.
  EXPECT_EQ(settings_->ReadSetting(PageKey(2), kCursorBackColor), "8");
  EXPECT_EQ(model_->ShownColours().back[1], 8);
  EXPECT_EQ(Reopened()->ReadSetting(PageKey(2), kCursorBackColor) == "8", Saves());
  EXPECT_EQ(Reopened()->ReadSetting(PageKey(2), kCursorForeColor) == "3", Saves());
}

INSTANTIATE_TEST_SUITE_P(Folders, EditorSavingTest,
                         ::testing::Values(Folder::kWritable, Folder::kUnwritable,
                                           Folder::kWritableAgain),
                         [](const auto& info) {
                           switch (info.param) {
                             case Folder::kWritable:
                               return "Writable";
                             case Folder::kUnwritable:
                               return "Unwritable";
                             case Folder::kWritableAgain:
                               return "WritableAgain";
                           }
                           return "";
                         });

}  // namespace
}  // namespace torvane
