// The REGEDIT4 text of one hive: pure conversions between a KeyTree and the
// UTF-8 text of its file.
//
// Written form: "REGEDIT4", a blank line, then each key as
// [HKEY_CURRENT_USER\SOFTWARE\TorvaneTX\Main] followed by its values, one a line,
// and a blank line:
//   "Name"="text"        backslash and double quote escaped with a backslash
//   @="text"             the key's default value
//   "Name"=dword:0000001f
//   "Name"=hex(8):00,00,00,00,00,00,f0,3f     a date (8-byte little-endian double)
//   "Name"=hex(1):41,09,42,00   text holding bytes below 32: its bytes and a 00
//   "Name"=hex:..., hex(n):...  any other type, kept as it was read
// Text is the single-byte (Windows-1252) text converted to UTF-8.
//
// Read form, tolerant: LF or CRLF, a UTF-8 byte order mark, UTF-16LE with its
// byte order mark, the header "Windows Registry Editor Version 5.00" (whose
// hex(1), hex(2) and hex(7) data are UTF-16LE), ';' comment lines, blank lines,
// keys in any order with their parents implied, a key named twice (merged), hex
// data continued on the next line after a trailing '\', "Name"=- (no value) and
// [-key] (removes that key read so far). A backslash in a quoted text followed by
// anything but '\' or '"' is kept as it stands.
#ifndef TORVANE_APP_SETTINGS_REGFILE_H_
#define TORVANE_APP_SETTINGS_REGFILE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "KeyTree.h"

namespace torvane {

struct RegFileParse {
  bool ok = false;
  size_t errorLine = 0;  // 1-based line of the first fault when !ok
  std::string error;     // what is wrong with that line
  KeyTree tree;
};

// hiveName is the first component of every key in the file, e.g.
// "HKEY_CURRENT_USER"; a key of another hive is a fault. An empty text (or one of
// blank lines only) is an empty hive.
RegFileParse ParseRegFile(std::string_view text, std::string_view hiveName);

// The file text of tree. Every key is written, empty ones included; the root
// only when it holds values.
std::string SerializeRegFile(const KeyTree& tree, std::string_view hiveName);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_REGFILE_H_
