// A fresh folder under $TMPDIR (or /tmp) for one test or benchmark, removed with
// everything in it when the object goes.
#ifndef TORVANE_APP_SETTINGS_TEMPFOLDER_H_
#define TORVANE_APP_SETTINGS_TEMPFOLDER_H_

#include <string>
#include <vector>

namespace torvane {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Names of the entries in the folder, sorted.
  std::vector<std::string> List() const;

 private:
  std::string path_;
};

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_TEMPFOLDER_H_
