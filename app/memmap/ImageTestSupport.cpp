#include "ImageTestSupport.h"

#include "SettingsKeys.h"

namespace torvane::testing {

std::vector<uint8_t> Bytes(const MapImageBytes& image, int first, int count) {
  return std::vector<uint8_t>(image.begin() + first, image.begin() + first + count);
}

int RowSum(const MapImageBytes& image, int rowStart) {
  int sum = 0;
  for (int i = 0; i < 24; ++i) sum += image[static_cast<size_t>(rowStart + i)];
  return sum % 256;
}

std::vector<uint8_t> ExpectedRow(const std::string& payload, uint8_t link) {
  std::vector<uint8_t> row(payload.begin(), payload.end());
  row.resize(20, ' ');
  row.push_back(link);
  row.push_back(0);
  row.push_back(0);
  int sum = 0;
  for (uint8_t b : row) sum += b;
  row.push_back(static_cast<uint8_t>(255 - sum % 256));
  return row;
}

ImageFixture::ImageFixture()
    : g_(std::make_unique<Globals>()), builder_(std::make_unique<ImageBuilder>(*g_, settings_)) {}

void ImageFixture::BuildAll() {
  builder_->BuildIndexTable();
  builder_->BuildImage();
  builder_->BuildIndexTable();
}

void ImageFixture::SetColour(int page, const std::string& valueName, const std::string& value) {
  settings_.WriteSetting(PageKey(page), valueName, value, kRegSz);
}

}  // namespace torvane::testing
