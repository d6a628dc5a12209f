// The control's persisted properties as one block of bytes, for containers
// that keep a control in a stream (or in a storage's "Contents" stream). The
// control writes its properties into a MemoryPropertyBag exactly as it writes
// a container's property bag; the bag is then encoded here (its entries in
// name order), so the list of persisted properties lives only in the control.
//
// Layout, every number little-endian:
//
//   offset  size  field
//   0       4     magic "WLPS"
//   4       2     layout version, 1
//   6       2     number of entries, at most kMaxPropertyStreamEntries
//   8       4     length L of the entries in bytes, at most kMaxPropertyStreamBody
//   12      L     the entries, each:
//                   1  name length N, 1..64
//                   N  name, printable ASCII
//                   1  type: 2 Integer, 3 Long, 8 String, 11 Boolean
//                   value: Integer 2 bytes; Long 4 bytes; Boolean 1 byte, 0 or 1;
//                          String a 4-byte length S (at most 65536), then S bytes of UTF-8
//   12+L    4     CRC-32 (the polynomial of zlib and PNG) of bytes 0 .. 12+L-1
//
// A reader takes exactly 16 + L bytes, so a container may keep more data
// after the block. Names the reader does not know are kept in the bag and
// ignored by the control, so a later layout of version 1 may add properties.
#ifndef TORVANE_WIRELET_PROPERTYSTREAM_H_
#define TORVANE_WIRELET_PROPERTYSTREAM_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Dispatch.h"
#include "ErrorInfo.h"

namespace torvane {

inline constexpr size_t kPropertyStreamHeaderSize = 12;
inline constexpr size_t kPropertyStreamTrailerSize = 4;
inline constexpr uint16_t kPropertyStreamVersion = 1;
inline constexpr size_t kMaxPropertyStreamEntries = 256;
inline constexpr size_t kMaxPropertyStreamBody = 1 << 20;
inline constexpr size_t kMaxPropertyStreamText = 65536;

// The storage system's codes, as a container expects them from a stream load.
inline constexpr HResult kStgEReadFault = MakeHResult(0x8003001Eu);  // the block ends early
inline constexpr HResult kStgEOldDll = MakeHResult(0x80030105u);     // a newer layout
inline constexpr HResult kStgEDocfileCorrupt = MakeHResult(0x80030109u);

// The block's CRC-32 over bytes.
uint32_t PropertyStreamChecksum(std::span<const uint8_t> bytes);

// The block for bag's entries. kEInvalidArg when an entry cannot be carried
// (a name outside the layout's rules, a value other than Integer, Long,
// Boolean or String, a text or block above the limits).
HResult EncodePropertyStream(const MemoryPropertyBag& bag, std::vector<uint8_t>* out);

// The length of the whole block that begins with header (at least
// kPropertyStreamHeaderSize bytes), after checking the magic, version and
// limits; a stream reader reads exactly that much.
HResult PropertyStreamSize(std::span<const uint8_t> header, size_t* size);

// Fills *bag from a whole block (bytes must hold exactly one block). Nothing
// is added to *bag unless the whole block is sound: kStgEReadFault when bytes
// is shorter than its header says, kStgEOldDll for a later layout version,
// kStgEDocfileCorrupt for anything else that does not fit the layout.
HResult DecodePropertyStream(std::span<const uint8_t> bytes, MemoryPropertyBag* bag);

}  // namespace torvane

#endif  // TORVANE_WIRELET_PROPERTYSTREAM_H_
