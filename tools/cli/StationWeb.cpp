#include "StationWeb.h"

#include <cstdio>
#include <utility>

namespace torvane::cli {

bool TakeWebOption(const Arguments& args, size_t* i, std::optional<WebSettings>* given) {
  if (args[*i] != "--web" || *i + 1 >= args.size()) return false;
  std::optional<WebSettings> parsed = ParseWebAddress(args[*i + 1]);
  if (!parsed) return false;
  *given = std::move(parsed);
  *i += 1;
  return true;
}

void StationWeb::Start(std::shared_ptr<const StationSnapshots> snapshots,
                       const SettingsStore& settings, const std::optional<WebSettings>& given) {
  std::string problem;
  const WebSettings web = given ? *given : LoadWebSettings(settings, &problem);
  if (!problem.empty()) std::fprintf(stderr, "torvanetx-cli station: %s\n", problem.c_str());
  if (!web.On()) return;
  WebServerOptions options;
  options.port = web.port;
  options.bind = web.bind;
  server_ = std::make_unique<WebServer>(std::move(snapshots), options);
  std::string error;
  if (!server_->Start(&error)) {
    server_.reset();
    std::fprintf(stderr, "torvanetx-cli station: %s\n", error.c_str());
    return;
  }
  note_ = " | web view: " + server_->Address();
  std::fprintf(stderr, "torvanetx-cli station: web view on %s\n", server_->Address().c_str());
}

void StationWeb::Stop() {
  server_.reset();
  note_.clear();
}

}  // namespace torvane::cli
