#include "PropertyStream.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Utf8.h"

namespace torvane {
namespace {

constexpr uint8_t kMagic[4] = {'W', 'L', 'P', 'S'};
constexpr size_t kMaxNameLength = 64;
constexpr uint8_t kTypeInteger = 2;
constexpr uint8_t kTypeLong = 3;
constexpr uint8_t kTypeString = 8;
constexpr uint8_t kTypeBoolean = 11;

}  // namespace

uint32_t PropertyStreamChecksum(std::span<const uint8_t> bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetLe(const uint8_t* in, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(in[i]) << (8 * i);
  return value;
}

bool ValidName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  return std::all_of(name.begin(), name.end(), [](char c) { return c > 32 && c < 127; });
}

// Walks the entries without ever looking past end.
class Reader {
 public:
  Reader(const uint8_t* begin, const uint8_t* end) : at_(begin), end_(end) {}
  bool Take(size_t count, const uint8_t** bytes) {
    if (static_cast<size_t>(end_ - at_) < count) return false;
    *bytes = at_;
    at_ += count;
    return true;
  }
  bool Done() const { return at_ == end_; }

 private:
  const uint8_t* at_;
  const uint8_t* end_;
};

}  // namespace

HResult EncodePropertyStream(const MemoryPropertyBag& bag, std::vector<uint8_t>* out) {
  if (bag.Values().size() > kMaxPropertyStreamEntries) return kEInvalidArg;
  std::vector<uint8_t> block(kMagic, kMagic + sizeof kMagic);
  PutLe(block, kPropertyStreamVersion, 2);
  PutLe(block, static_cast<uint32_t>(bag.Values().size()), 2);
  PutLe(block, 0, 4);  // the body's length, once known
  for (const auto& [name, value] : bag.Values()) {
    if (!ValidName(name)) return kEInvalidArg;
    block.push_back(static_cast<uint8_t>(name.size()));
    block.insert(block.end(), name.begin(), name.end());
    switch (value.Type()) {
      case VarType::kI2:
        block.push_back(kTypeInteger);
        PutLe(block, static_cast<uint16_t>(value.AsI2()), 2);
        break;
      case VarType::kI4:
        block.push_back(kTypeLong);
        PutLe(block, static_cast<uint32_t>(value.AsI4()), 4);
        break;
      case VarType::kBool:
        block.push_back(kTypeBoolean);
        block.push_back(value.AsBool() ? 1 : 0);
        break;
      case VarType::kString: {
        const std::string& text = value.AsString();
        if (text.size() > kMaxPropertyStreamText || !IsValidUtf8(text)) return kEInvalidArg;
        block.push_back(kTypeString);
        PutLe(block, static_cast<uint32_t>(text.size()), 4);
        block.insert(block.end(), text.begin(), text.end());
        break;
      }
      default:
        return kEInvalidArg;
    }
  }
  const size_t body = block.size() - kPropertyStreamHeaderSize;
  if (body > kMaxPropertyStreamBody) return kEInvalidArg;
  for (int i = 0; i < 4; ++i) block[8 + i] = static_cast<uint8_t>(body >> (8 * i));
  PutLe(block, PropertyStreamChecksum(block), 4);
  *out = std::move(block);
  return kSOk;
}

HResult PropertyStreamSize(std::span<const uint8_t> header, size_t* size) {
  if (header.size() < kPropertyStreamHeaderSize) return kStgEReadFault;
  if (std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) return kStgEDocfileCorrupt;
  const uint32_t version = GetLe(header.data() + 4, 2);
  if (version == 0) return kStgEDocfileCorrupt;
  if (version > kPropertyStreamVersion) return kStgEOldDll;
  if (GetLe(header.data() + 6, 2) > kMaxPropertyStreamEntries) return kStgEDocfileCorrupt;
  const uint32_t body = GetLe(header.data() + 8, 4);
  if (body > kMaxPropertyStreamBody) return kStgEDocfileCorrupt;
  *size = kPropertyStreamHeaderSize + body + kPropertyStreamTrailerSize;
  return kSOk;
}

HResult DecodePropertyStream(std::span<const uint8_t> bytes, MemoryPropertyBag* bag) {
  size_t size = 0;
  if (HResult hr = PropertyStreamSize(bytes, &size); Failed(hr)) return hr;
  if (bytes.size() < size) return kStgEReadFault;
  if (bytes.size() > size) return kStgEDocfileCorrupt;
  const size_t crcAt = size - kPropertyStreamTrailerSize;
  if (PropertyStreamChecksum(bytes.first(crcAt)) != GetLe(bytes.data() + crcAt, 4))
    return kStgEDocfileCorrupt;

  const size_t count = GetLe(bytes.data() + 6, 2);
  MemoryPropertyBag read;
  Reader in(bytes.data() + kPropertyStreamHeaderSize, bytes.data() + crcAt);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = nullptr;
    if (!in.Take(1, &p)) return kStgEDocfileCorrupt;
    const size_t nameLength = *p;
    if (!in.Take(nameLength, &p)) return kStgEDocfileCorrupt;
    std::string name(reinterpret_cast<const char*>(p), nameLength);
    Variant probe;
    if (!ValidName(name) || Succeeded(read.Read(name, probe))) return kStgEDocfileCorrupt;
    if (!in.Take(1, &p)) return kStgEDocfileCorrupt;
    Variant value;
    switch (*p) {
      case kTypeInteger:
        if (!in.Take(2, &p)) return kStgEDocfileCorrupt;
        value = Variant::I2(static_cast<int16_t>(GetLe(p, 2)));
        break;
      case kTypeLong:
        if (!in.Take(4, &p)) return kStgEDocfileCorrupt;
        value = Variant::I4(static_cast<int32_t>(GetLe(p, 4)));
        break;
      case kTypeBoolean:
        if (!in.Take(1, &p) || *p > 1) return kStgEDocfileCorrupt;
        value = Variant::Bool(*p == 1);
        break;
      case kTypeString: {
        if (!in.Take(4, &p)) return kStgEDocfileCorrupt;
        const size_t length = GetLe(p, 4);
        if (length > kMaxPropertyStreamText || !in.Take(length, &p)) return kStgEDocfileCorrupt;
        std::string text(reinterpret_cast<const char*>(p), length);
        if (!IsValidUtf8(text)) return kStgEDocfileCorrupt;
        value = Variant::String(std::move(text));
        break;
      }
      default:
        return kStgEDocfileCorrupt;
    }
    read.Write(name, value);
  }
  if (!in.Done()) return kStgEDocfileCorrupt;
  for (const auto& [name, value] : read.Values()) bag->Write(name, value);
  return kSOk;
}

}  // namespace torvane
