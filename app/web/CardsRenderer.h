// The cards as the web view sends them: the published acknowledged image,
// decoded as the receiver view decodes it, as JSON for a whole card and for
// what changed since the previous image.
#ifndef TORVANE_APP_WEB_CARDSRENDERER_H_
#define TORVANE_APP_WEB_CARDSRENDERER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "StationSnapshots.h"

namespace torvane {

class CardsRenderer {
 public:
  CardsRenderer();

  // Decodes cards unless its sequence is the one already rendered; true when
  // it did.
  bool Update(const CardSnapshot& cards);

  uint64_t Sequence() const { return sequence_; }
  // {"sequence":N,"full":true,"pageCount":K,"card":{…}}, the card as
  // ToJson(DecodedImage) writes it.
  const std::string& Full() const { return full_; }
  // The same with "full":false and, in "card", only the pages that differ
  // from the previous update's (pages past pageCount are gone).
  const std::string& Delta() const { return delta_; }

 private:
  uint64_t sequence_ = 0;
  std::vector<std::string> pageJson_;
  std::string full_;
  std::string delta_;
};

}  // namespace torvane

#endif  // TORVANE_APP_WEB_CARDSRENDERER_H_
