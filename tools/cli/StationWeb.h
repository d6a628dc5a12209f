// The headless station's web view, the same on Linux and on Windows: where it
// serves (--web PORT[:BIND], else the Web key's Port and Bind), starting it
// beside the station, and the note the status line carries while it serves.
#ifndef TORVANE_TOOLS_CLI_STATIONWEB_H_
#define TORVANE_TOOLS_CLI_STATIONWEB_H_

#include <memory>
#include <optional>
#include <string>

#include "CliCommand.h"
#include "StationSnapshots.h"
#include "WebServer.h"
#include "WebSettings.h"

namespace torvane::cli {

// True when args[*i] is "--web" followed by PORT[:BIND]; both are taken (*i
// moves past them) and *given holds the address.
bool TakeWebOption(const Arguments& args, size_t* i, std::optional<WebSettings>* given);

class StationWeb {
 public:
  StationWeb() = default;
  StationWeb(const StationWeb&) = delete;
  StationWeb& operator=(const StationWeb&) = delete;

  // Serves the snapshots where *given says, else where settings' Web key
  // says; says on stderr what became of it. A port that cannot be had is said
  // once and the station runs on without the view.
  void Start(std::shared_ptr<const StationSnapshots> snapshots, const SettingsStore& settings,
             const std::optional<WebSettings>& given);
  // Before the station shuts down: the server reads its snapshots.
  void Stop();

  // " | web view: http://…/" while it serves, else empty.
  const std::string& Note() const { return note_; }

 private:
  std::unique_ptr<WebServer> server_;
  std::string note_;
};

}  // namespace torvane::cli

#endif  // TORVANE_TOOLS_CLI_STATIONWEB_H_
