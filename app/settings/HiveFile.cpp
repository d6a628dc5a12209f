#include "HiveFile.h"

#include <cstdio>
#include <utility>

#include "RegFile.h"

namespace torvane {

HiveFile::HiveFile(std::string path, std::string hiveName, bool readOnly, Reporter report)
    : path_(std::move(path)),
      hiveName_(std::move(hiveName)),
      readOnly_(readOnly),
      report_(std::move(report)),
      rename_(RenameOver) {
  if (!report_) {
    report_ = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
  }
}

KeyTree HiveFile::Load() {
  std::string contents;
  std::string error;
  switch (ReadWholeFile(path_, &contents, &error)) {
    case ReadStatus::kMissing:
      return KeyTree();
    case ReadStatus::kFailed:
      keptBecause_ = "the file there could not be read (" + error + ")";
      report_("TorvaneTX: cannot read settings from " + path_ + ": " + error +
              "; starting with empty settings and leaving the file as it is");
      return KeyTree();
    case ReadStatus::kRead:
      break;
  }
  RegFileParse parsed = ParseRegFile(contents, hiveName_);
  if (parsed.ok) return std::move(parsed.tree);

  const std::string fault =
      path_ + " line " + std::to_string(parsed.errorLine) + ": " + parsed.error;
  if (readOnly_) {
    report_("TorvaneTX: cannot parse settings file " + fault + "; starting with empty settings");
    return KeyTree();
  }
  const std::string aside = MoveAside(path_, ".bad-" + UtcTimestamp(), &error);
  if (aside.empty()) {
    keptBecause_ = "the file there could not be parsed nor set aside (" + error + ")";
    report_("TorvaneTX: cannot parse settings file " + fault + "; cannot set it aside (" + error +
            "), so it stays as it is and settings are kept in memory only");
  } else {
    report_("TorvaneTX: cannot parse settings file " + fault + "; kept as " + aside +
            ", starting with empty settings");
  }
  return KeyTree();
}

bool HiveFile::Save(const KeyTree& tree) {
  if (readOnly_) return true;
  std::string error;
  if (!keptBecause_.empty()) {
    // Nothing is lost by writing where the kept file no longer is.
    if (PathExists(path_)) {
      return Failed(keptBecause_ + ", so it is left as it is until it is moved away");
    }
    keptBecause_.clear();
  }
  if (!WriteFileAtomically(path_, SerializeRegFile(tree, hiveName_), &error, rename_)) {
    return Failed(error);
  }
  failureReported_ = false;
  return true;
}

bool HiveFile::Failed(const std::string& reason) {
  if (!failureReported_) {
    report_("TorvaneTX: cannot save settings to " + path_ + ": " + reason +
            "; keeping them in memory");
    failureReported_ = true;
  }
  return false;
}

}  // namespace torvane
