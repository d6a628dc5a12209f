// The link health as named rows, in the order and wording the operator reads
// them: one list for the web view's page and the operator window alike, so the
// two never tell different figures.
#ifndef TORVANE_APP_SHELL_HEALTHROWS_H_
#define TORVANE_APP_SHELL_HEALTHROWS_H_

#include <string>
#include <utility>
#include <vector>

#include "StationSnapshots.h"

namespace torvane {

struct HealthRow {
  // Whether the value tells of a link that is up or down.
  enum class Tone { kPlain, kUp, kDown };

  std::string name;
  // The station's single-byte text, not escaped for any reader.
  std::string value;
  Tone tone = Tone::kPlain;
  // Each lamp's caption and whether it is lit; only the lamps' own row has any.
  std::vector<std::pair<std::string, bool>> lamps;
};

std::vector<HealthRow> HealthRows(const HealthSnapshot& health);

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_HEALTHROWS_H_
