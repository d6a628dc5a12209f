// Conversions between numbers and little-endian byte buffers, for callers that
// have no pointer arithmetic of their own. Buffers belong to the caller; nothing
// here keeps state or allocates, and nothing checks a null or short buffer.
#ifndef TORVANE_CONVERT_TORVANECONVERT_H_
#define TORVANE_CONVERT_TORVANECONVERT_H_

#include <stdint.h>

// 32-bit Windows callers expect the standard calling convention: arguments in
// 32-bit slots, removed by the callee. Elsewhere there is only one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define TORVANE_CONVERT_API __stdcall
#else
#define TORVANE_CONVERT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Reads 4 bytes as an IEEE 754 single-precision number.
float TORVANE_CONVERT_API MakeFloat(const uint8_t* buffer);
// Writes value into 4 bytes, low byte first; returns value.
int32_t TORVANE_CONVERT_API MakeLong(int32_t value, uint8_t* buffer);
// Returns the little-endian 32-bit value at buffer. BufferToInteger is the same routine.
int32_t TORVANE_CONVERT_API BufferToLong(const uint8_t* buffer);
int32_t TORVANE_CONVERT_API BufferToInteger(const uint8_t* buffer);
// Writes value into 4 bytes, low byte first; returns value. IntegerToBuffer is the same routine.
int32_t TORVANE_CONVERT_API LongToBuffer(int32_t value, uint8_t* buffer);
int32_t TORVANE_CONVERT_API IntegerToBuffer(int32_t value, uint8_t* buffer);
// Returns the little-endian 16-bit value at buffer.
int16_t TORVANE_CONVERT_API BufferToInt16(const uint8_t* buffer);
// Writes the low 16 bits of value into 2 bytes, low byte first; returns value.
int32_t TORVANE_CONVERT_API Int16ToBuffer(int32_t value, uint8_t* buffer);

#ifdef __cplusplus
}
#endif

#endif  // TORVANE_CONVERT_TORVANECONVERT_H_
