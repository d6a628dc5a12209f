#include "RegFile.h"

#include <cstdio>

#include "AnsiText.h"
#include "HexDigits.h"
#include "Utf8.h"

namespace torvane {
namespace {

constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kRegedit5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr uint32_t kTextType = 1;
constexpr uint32_t kExpandTextType = 2;
constexpr uint32_t kBinaryType = 3;
constexpr uint32_t kDwordType = 4;
constexpr uint32_t kMultiTextType = 7;
constexpr char kHexDigits[] = "0123456789abcdef";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && NamesEqual(text.substr(0, prefix.size()), prefix);
}

// UTF-16LE to UTF-8; an unpaired surrogate becomes U+FFFD, an odd last byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  const size_t units = bytes.size() / 2;
  auto unitAt = [&](size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  };
  for (size_t i = 0; i < units; ++i) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit);
  }
  return out;
}

// Hands out the lines of a text without their LF or CRLF ending.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool Next(std::string_view& line) {
    if (pos_ > text_.size() || (pos_ == text_.size() && number_ > 0)) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    return true;
  }

  size_t Number() const { return number_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t number_ = 0;
};

class Parser {
 public:
  Parser(std::string_view text, std::string_view hiveName) : lines_(text), hiveName_(hiveName) {}

  RegFileParse Run() {
    RegFileParse result;
    std::string_view line;
    bool headerSeen = false;
    while (lines_.Next(line)) {
      line = TrimLeft(line);
      if (line.empty() || line.front() == ';') continue;
      const bool ok = headerSeen ? ParseLine(line) : ParseHeader(line);
      if (!ok) {
        result.errorLine = lines_.Number();
        result.error = std::move(error_);
        return result;
      }
      headerSeen = true;
    }
    result.ok = true;
    result.tree = std::move(tree_);
    return result;
  }

 private:
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  bool ParseHeader(std::string_view line) {
    line = TrimRight(line);
    if (line == kRegedit4Header) return true;
    if (line == kRegedit5Header) {
      unicodeHex_ = true;
      return true;
    }
    return Fail("expected the header REGEDIT4");
  }

  bool ParseLine(std::string_view line) {
    if (line.front() == '[') return ParseKeyLine(TrimRight(line));
    if (line.front() == '"' || line.front() == '@') return ParseValueLine(line);
    return Fail("expected a [key] or a \"name\"=value line");
  }

  bool ParseKeyLine(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') return Fail("a key line must end with ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    const bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    const size_t slash = path.find('\\');
    const std::string_view hive = path.substr(0, slash);
    if (!NamesEqual(hive, hiveName_)) {
      return Fail("the key is not in " + std::string(hiveName_));
    }
    const std::string keyPath =
        slash == std::string_view::npos ? std::string() : Utf8ToAnsi(path.substr(slash + 1));
    current_ = nullptr;
    if (remove) {
      if (SplitKeyPath(keyPath).empty()) {
        tree_ = KeyTree();
      } else {
        tree_.DeleteKey("", keyPath);
      }
      return true;
    }
    current_ = tree_.CreateKey(keyPath);
    return true;
  }

  // Reads a double-quoted text at line[pos]; pos ends after the closing quote.
  bool ParseQuoted(std::string_view line, size_t& pos, std::string& out) {
    ++pos;
    while (pos < line.size()) {
      const char c = line[pos];
      if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
        out += line[pos + 1];
        pos += 2;
      } else if (c == '"') {
        ++pos;
        return true;
      } else {
        out += c;
        ++pos;
      }
    }
    return false;
  }

  bool ParseValueLine(std::string_view line) {
    size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, pos, name)) {
      return Fail("the value name has no closing '\"'");
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') return Fail("expected '=' after the value name");
    ++pos;
    const std::string_view data = TrimLeft(line.substr(pos));
    if (current_ == nullptr) return Fail("a value before any [key] line");
    const std::string ansiName = Utf8ToAnsi(name);

    if (!data.empty() && data.front() == '"') {
      size_t dataPos = 0;
      std::string text;
      if (!ParseQuoted(data, dataPos, text)) return Fail("the text has no closing '\"'");
      if (!TrimLeft(data.substr(dataPos)).empty()) return Fail("unexpected text after the value");
      current_->SetValue(ansiName, RegValue{kTextType, Utf8ToAnsi(text)});
      return true;
    }
    if (TrimRight(data) == "-") {
      current_->RemoveValue(ansiName);
      return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
      const std::string_view digits = TrimRight(data.substr(6));
      if (digits.empty() || digits.size() > 8) return Fail("dword: needs 1 to 8 hex digits");
      uint32_t number = 0;
      for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return Fail("dword: needs 1 to 8 hex digits");
        number = (number << 4) | static_cast<uint32_t>(digit);
      }
      std::string bytes(4, '\0');
      for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
      current_->SetValue(ansiName, RegValue{kDwordType, std::move(bytes)});
      return true;
    }
    if (StartsWithNoCase(data, "hex")) return ParseHexValue(ansiName, data.substr(3));
    return Fail("expected \"text\", dword:, hex: or hex(n): after '='");
  }

  // rest follows "hex": an optional "(type)" then ':' and the bytes.
  bool ParseHexValue(const std::string& name, std::string_view rest) {
    uint32_t type = kBinaryType;
    if (!rest.empty() && rest.front() == '(') {
      const size_t close = rest.find(')');
      if (close == std::string_view::npos || close == 1 || close > 9) {
        return Fail("hex(n): needs a type of 1 to 8 hex digits");
      }
      type = 0;
      for (char c : rest.substr(1, close - 1)) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return Fail("hex(n): needs a type of 1 to 8 hex digits");
        type = (type << 4) | static_cast<uint32_t>(digit);
      }
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return Fail("expected ':' after hex");
    std::string bytes;
    if (!ParseHexBytes(rest.substr(1), bytes)) return false;

    if (unicodeHex_ && (type == kTextType || type == kExpandTextType || type == kMultiTextType)) {
      if (bytes.size() % 2 != 0) return Fail("UTF-16 text data of an odd number of bytes");
      bytes = Utf8ToAnsi(Utf16LeToUtf8(bytes));
    }
    if (type == kTextType && !bytes.empty() && bytes.back() == '\0') bytes.pop_back();
    current_->SetValue(name, RegValue{type, std::move(bytes)});
    return true;
  }

  // Comma-separated hex bytes; a '\' at the end of a line continues the list on the next.
  bool ParseHexBytes(std::string_view line, std::string& bytes) {
    size_t pos = 0;
    bool needComma = false;
    for (;;) {
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos == line.size()) return true;
      if (line[pos] == '\\' && TrimLeft(line.substr(pos + 1)).empty()) {
        if (!lines_.Next(line)) return Fail("hex data continued past the end of the file");
        pos = 0;
        continue;
      }
      if (needComma) {
        if (line[pos] != ',') return Fail("expected ',' between hex bytes");
        ++pos;
        needComma = false;
        continue;
      }
      int byte = HexDigitValue(line[pos]);
      if (byte < 0) return Fail("expected a hex byte");
      ++pos;
      if (pos < line.size() && HexDigitValue(line[pos]) >= 0) {
        byte = byte * 16 + HexDigitValue(line[pos]);
        ++pos;
      }
      bytes += static_cast<char>(byte);
      needComma = true;
    }
  }

  LineReader lines_;
  std::string_view hiveName_;
  KeyTree tree_;
  RegKey* current_ = nullptr;
  bool unicodeHex_ = false;
  std::string error_;
};

void AppendQuoted(std::string& out, std::string_view utf8) {
  out += '"';
  for (char c : utf8) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ',';
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
  }
}

bool HasControlBytes(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 32) return true;
  }
  return false;
}

void AppendValue(std::string& out, const std::string& name, const RegValue& value) {
  if (name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, AnsiToUtf8(name));
  }
  out += '=';
  if (value.type == kTextType && !HasControlBytes(value.data)) {
    AppendQuoted(out, AnsiToUtf8(value.data));
  } else if (value.type == kTextType) {
    out += "hex(1):";
    AppendHexBytes(out, value.data);
    out += value.data.empty() ? "00" : ",00";
  } else if (value.type == kDwordType && value.data.size() == 4) {
    out += "dword:";
    for (size_t i = 4; i-- > 0;) {
      const auto byte = static_cast<unsigned char>(value.data[i]);
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0F];
    }
  } else {
    if (value.type == kBinaryType) {
      out += "hex:";
    } else {
      char label[24];
      std::snprintf(label, sizeof label, "hex(%x):", static_cast<unsigned>(value.type));
      out += label;
    }
    AppendHexBytes(out, value.data);
  }
  out += '\n';
}

void AppendKey(std::string& out, std::string& path, const RegKey& key, bool isRoot) {
  if (!isRoot || key.ValueCount() > 0) {
    out += '[';
    out += path;
    out += "]\n";
    for (const auto& [name, value] : key.Values()) AppendValue(out, *name, *value);
    out += '\n';
  }
  for (const RegKey* subkey : key.Subkeys()) {
    const size_t length = path.size();
    path += '\\';
    path += AnsiToUtf8(subkey->Name());
    AppendKey(out, path, *subkey, false);
    path.resize(length);
  }
}

}  // namespace

RegFileParse ParseRegFile(std::string_view text, std::string_view hiveName) {
  std::string decoded;
  if (text.substr(0, kUtf16LeBom.size()) == kUtf16LeBom) {
    decoded = Utf16LeToUtf8(text.substr(kUtf16LeBom.size()));
    text = decoded;
  } else if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    text.remove_prefix(kUtf8Bom.size());
  }
  return Parser(text, hiveName).Run();
}

std::string SerializeRegFile(const KeyTree& tree, std::string_view hiveName) {
  std::string out(kRegedit4Header);
  out += "\n\n";
  std::string path(hiveName);
  AppendKey(out, path, tree.Root(), true);
  return out;
}

}  // namespace torvane
