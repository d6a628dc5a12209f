// Shared helpers of the memory-map tests: a station-sized fixture with an
// in-memory settings store, and readers for rows of the image.
#ifndef TORVANE_APP_MEMMAP_IMAGETESTSUPPORT_H_
#define TORVANE_APP_MEMMAP_IMAGETESTSUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Globals.h"
#include "ImageBuilder.h"
#include "SettingsStore.h"

namespace torvane::testing {

// image[first .. first+count-1].
std::vector<uint8_t> Bytes(const MapImageBytes& image, int first, int count);
// Sum of the 24 bytes of the row at rowStart, mod 256.
int RowSum(const MapImageBytes& image, int rowStart);
// A row as its 20 payload bytes (spaces for blanks), then link, 0, 0 and checksum.
std::vector<uint8_t> ExpectedRow(const std::string& payload, uint8_t link);

class ImageFixture : public ::testing::Test {
 protected:
  ImageFixture();

  // BuildIndexTable, BuildImage and BuildIndexTable again, so the header also
  // holds the new ticker address.
  void BuildAll();
  void SetColour(int page, const std::string& valueName, const std::string& value);

  SettingsStore settings_;
  std::unique_ptr<Globals> g_;
  std::unique_ptr<ImageBuilder> builder_;
};

}  // namespace torvane::testing

#endif  // TORVANE_APP_MEMMAP_IMAGETESTSUPPORT_H_
