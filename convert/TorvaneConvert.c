#include "TorvaneConvert.h"

#include <string.h>

// Bytes are assembled by hand so the buffers stay little-endian on any host.

float TORVANE_CONVERT_API MakeFloat(const uint8_t* buffer) {
  uint32_t bits = (uint32_t)buffer[0] | ((uint32_t)buffer[1] << 8) | ((uint32_t)buffer[2] << 16) |
                  ((uint32_t)buffer[3] << 24);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

int32_t TORVANE_CONVERT_API LongToBuffer(int32_t value, uint8_t* buffer) {
  uint32_t bits = (uint32_t)value;
  buffer[0] = (uint8_t)bits;
  buffer[1] = (uint8_t)(bits >> 8);
  buffer[2] = (uint8_t)(bits >> 16);
  buffer[3] = (uint8_t)(bits >> 24);
  return value;
}

int32_t TORVANE_CONVERT_API BufferToLong(const uint8_t* buffer) {
  uint32_t bits = (uint32_t)buffer[0] | ((uint32_t)buffer[1] << 8) | ((uint32_t)buffer[2] << 16) |
                  ((uint32_t)buffer[3] << 24);
  return (int32_t)bits;
}

int16_t TORVANE_CONVERT_API BufferToInt16(const uint8_t* buffer) {
  return (int16_t)(uint16_t)((uint16_t)buffer[0] | ((uint16_t)buffer[1] << 8));
}

int32_t TORVANE_CONVERT_API Int16ToBuffer(int32_t value, uint8_t* buffer) {
  uint32_t bits = (uint32_t)value;
  buffer[0] = (uint8_t)bits;
  buffer[1] = (uint8_t)(bits >> 8);
  return value;
}

// The second name of each pair is the same routine, not a copy. On Windows the
// export list (TorvaneConvert.def) names the pairs.
#ifndef _WIN32
int32_t TORVANE_CONVERT_API MakeLong(int32_t value, uint8_t* buffer)
    __attribute__((alias("LongToBuffer")));
int32_t TORVANE_CONVERT_API IntegerToBuffer(int32_t value, uint8_t* buffer)
    __attribute__((alias("LongToBuffer")));
int32_t TORVANE_CONVERT_API BufferToInteger(const uint8_t* buffer)
    __attribute__((alias("BufferToLong")));
#endif
