#include "CardsRenderer.h"

#include <span>

#include "ImageDecoder.h"
#include "ImageJson.h"

namespace torvane {
namespace {

std::string Envelope(uint64_t sequence, bool full, size_t pageCount, const std::string& card) {
  return "{\"sequence\":" + std::to_string(sequence) + ",\"full\":" + (full ? "true" : "false") +
         ",\"pageCount\":" + std::to_string(pageCount) + ",\"card\":" + card + "}";
}

}  // namespace

CardsRenderer::CardsRenderer() {
  Update(CardSnapshot{});
  delta_ = full_;
}

bool CardsRenderer::Update(const CardSnapshot& cards) {
  if (!full_.empty() && cards.sequence == sequence_) return false;
  DecodedImage decoded =
      DecodeImage(std::span<const uint8_t>(cards.image.data(), cards.image.size()));
  std::vector<std::string> pageJson;
  pageJson.reserve(decoded.pages.size());
  DecodedImage changed = decoded;
  changed.pages.clear();
  for (size_t i = 0; i < decoded.pages.size(); ++i) {
    DecodedImage one;
    one.pages.push_back(decoded.pages[i]);
    pageJson.push_back(ToJson(one));
    if (i >= pageJson_.size() || pageJson_[i] != pageJson.back()) {
      changed.pages.push_back(decoded.pages[i]);
    }
  }
  sequence_ = cards.sequence;
  full_ = Envelope(sequence_, true, decoded.pages.size(), ToJson(decoded));
  delta_ = Envelope(sequence_, false, decoded.pages.size(), ToJson(changed));
  pageJson_ = std::move(pageJson);
  return true;
}

}  // namespace torvane
