// The file behind one hive: loading it, saving it atomically, setting aside a
// file that cannot be parsed, and telling the operator (once) when saving fails.
#ifndef TORVANE_APP_SETTINGS_HIVEFILE_H_
#define TORVANE_APP_SETTINGS_HIVEFILE_H_

#include <functional>
#include <string>

#include "AtomicFile.h"
#include "KeyTree.h"

namespace torvane {

class HiveFile {
 public:
  using Reporter = std::function<void(const std::string& message)>;

  // hiveName heads every key in the file ("HKEY_CURRENT_USER"). report receives
  // each message for the operator, one line without a newline; the default
  // writes it to stderr.
  HiveFile(std::string path, std::string hiveName, bool readOnly, Reporter report = {});

  // The hive as the file holds it. A missing file is an empty hive. A file that
  // cannot be parsed is renamed to <path>.bad-<UTC timestamp> (unless read-only),
  // reported with its failing line, and the hive starts empty. A file that exists
  // but cannot be read, or cannot be set aside, is reported, the hive starts
  // empty, and the file is never saved over: it may hold settings the operator
  // wants back.
  KeyTree Load();

  // Writes tree to the file atomically; true when it is on disk, or when nothing
  // is to be written (read-only). False when the write fails, and while the file
  // that Load could neither read nor set aside is still at the path; once it has
  // been moved away, saves write a new file. The first failure is reported with
  // its reason; later ones are not until a save has succeeded again.
  bool Save(const KeyTree& tree);

  const std::string& Path() const { return path_; }

  // Lets tests make the final rename fail.
  void SetRenameForTest(RenameFunction renameFile) { rename_ = std::move(renameFile); }

 private:
  // Reports reason unless a failure has been reported since the last success;
  // returns false.
  bool Failed(const std::string& reason);

  std::string path_;
  std::string hiveName_;
  bool readOnly_;
  Reporter report_;
  RenameFunction rename_;
  // Why the file at path_ must not be replaced; empty when it may be.
  std::string keptBecause_;
  bool failureReported_ = false;
};

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_HIVEFILE_H_
