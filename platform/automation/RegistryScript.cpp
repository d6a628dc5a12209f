#include "RegistryScript.h"

#include <cctype>

namespace torvane {
namespace {

struct Token {
  enum class Kind { kEnd, kOpen, kClose, kEquals, kWord, kQuoted, kBad };
  Kind kind = Kind::kEnd;
  std::string text;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    if (pos_ >= text_.size()) return {};
    char c = text_[pos_];
    if (c == '{') return ++pos_, Token{Token::Kind::kOpen, "{"};
    if (c == '}') return ++pos_, Token{Token::Kind::kClose, "}"};
    if (c == '=') return ++pos_, Token{Token::Kind::kEquals, "="};
    if (c == '\'') {
      std::string value;
      for (++pos_; pos_ < text_.size(); ++pos_) {
        if (text_[pos_] != '\'') {
          value += text_[pos_];
        } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
          value += '\'';
          ++pos_;
        } else {
          ++pos_;
          return {Token::Kind::kQuoted, value};
        }
      }
      return {Token::Kind::kBad, "unterminated quote"};
    }
    size_t start = pos_;
    while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
           text_[pos_] != '{' && text_[pos_] != '}' && text_[pos_] != '=' && text_[pos_] != '\'') {
      ++pos_;
    }
    return {Token::Kind::kWord, std::string(text_.substr(start, pos_ - start))};
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) { Advance(); }

  bool ParseScript(std::vector<RegistryScript::Key>& keys) {
    if (!IsWord("HKCR") && !IsWord("HKEY_CLASSES_ROOT")) return Fail("expected HKCR");
    Advance();
    if (!ParseBlock(keys)) return false;
    if (token_.kind != Token::Kind::kEnd) return Fail("text after the root block");
    return true;
  }

  const std::string& Error() const { return error_; }

 private:
  void Advance() { token_ = lexer_.Next(); }
  bool IsWord(const char* word) const {
    return token_.kind == Token::Kind::kWord && token_.text == word;
  }
  bool IsName() const {
    return token_.kind == Token::Kind::kWord || token_.kind == Token::Kind::kQuoted;
  }
  bool Fail(std::string text) {
    if (error_.empty()) error_ = token_.kind == Token::Kind::kBad ? token_.text : text;
    return false;
  }

  // = s 'text'
  bool ParseStringValue(std::string& value) {
    if (token_.kind != Token::Kind::kEquals) return Fail("expected =");
    Advance();
    if (!IsWord("s")) return Fail("expected s");
    Advance();
    if (token_.kind != Token::Kind::kQuoted) return Fail("expected a quoted value");
    value = token_.text;
    Advance();
    return true;
  }

  bool ParseBlock(std::vector<RegistryScript::Key>& keys) {
    if (token_.kind != Token::Kind::kOpen) return Fail("expected {");
    if (++depth_ > 32) return Fail("keys nested too deep");
    Advance();
    return ParseItems(keys, nullptr);
  }

  // Items up to the closing brace; values go to owner (null at the root).
  bool ParseItems(std::vector<RegistryScript::Key>& keys, RegistryScript::Key* owner) {
    while (token_.kind != Token::Kind::kClose) {
      if (IsWord("val")) {
        if (owner == nullptr) return Fail("value outside a key");
        Advance();
        if (!IsName()) return Fail("expected a value name");
        std::string name = token_.text;
        Advance();
        std::string value;
        if (!ParseStringValue(value)) return false;
        owner->values.emplace_back(std::move(name), std::move(value));
        continue;
      }
      RegistryScript::Key key;
      if (IsWord("NoRemove")) {
        key.flag = RegistryScript::Key::Flag::kNoRemove;
      } else if (IsWord("ForceRemove")) {
        key.flag = RegistryScript::Key::Flag::kForceRemove;
      } else if (IsWord("Delete")) {
        key.flag = RegistryScript::Key::Flag::kDelete;
      }
      if (key.flag != RegistryScript::Key::Flag::kNone) Advance();
      if (!IsName()) return Fail("expected a key name");
      key.name = token_.text;
      if (key.name.empty() || key.name.find('\\') != std::string::npos) {
        return Fail("bad key name");
      }
      Advance();
      if (token_.kind == Token::Kind::kEquals) {
        std::string value;
        if (!ParseStringValue(value)) return false;
        key.defaultValue = std::move(value);
      }
      if (token_.kind == Token::Kind::kOpen) {
        if (++depth_ > 32) return Fail("keys nested too deep");
        Advance();
        if (!ParseItems(key.subkeys, &key)) return false;
      }
      keys.push_back(std::move(key));
    }
    --depth_;
    Advance();
    return true;
  }

  Lexer lexer_;
  Token token_;
  std::string error_;
  int depth_ = 0;
};

void RegisterKey(const RegistryScript::Key& key, const std::string& parent, RegistryHive& hive) {
  std::string path = parent.empty() ? key.name : parent + '\\' + key.name;
  using Flag = RegistryScript::Key::Flag;
  if (key.flag == Flag::kDelete || key.flag == Flag::kForceRemove) hive.DeleteKey(path);
  if (key.flag == Flag::kDelete) return;
  hive.CreateKey(path);
  if (key.defaultValue) hive.WriteValue(path, "", *key.defaultValue);
  for (const auto& [name, value] : key.values) hive.WriteValue(path, name, value);
  for (const auto& subkey : key.subkeys) RegisterKey(subkey, path, hive);
}

void UnregisterKey(const RegistryScript::Key& key, const std::string& parent, RegistryHive& hive) {
  std::string path = parent.empty() ? key.name : parent + '\\' + key.name;
  using Flag = RegistryScript::Key::Flag;
  if (key.flag == Flag::kDelete) return;
  if (key.flag != Flag::kNoRemove) return hive.DeleteKey(path);
  for (const auto& [name, value] : key.values) hive.DeleteValue(path, name);
  for (const auto& subkey : key.subkeys) UnregisterKey(subkey, path, hive);
}

}  // namespace

std::optional<RegistryScript> RegistryScript::Parse(std::string_view text, std::string* error) {
  Parser parser(text);
  RegistryScript script;
  if (!parser.ParseScript(script.keys_)) {
    if (error != nullptr) *error = parser.Error();
    return std::nullopt;
  }
  return script;
}

void RegistryScript::Register(RegistryHive& hive) const {
  for (const Key& key : keys_) RegisterKey(key, "", hive);
}

void RegistryScript::Unregister(RegistryHive& hive) const {
  for (const Key& key : keys_) UnregisterKey(key, "", hive);
}

std::string SubstituteScript(std::string_view script,
                             const std::map<std::string, std::string>& values) {
  std::string out;
  size_t pos = 0;
  while (pos < script.size()) {
    size_t open = script.find('%', pos);
    size_t close = open == std::string_view::npos ? open : script.find('%', open + 1);
    if (close == std::string_view::npos) {
      out += script.substr(pos);
      break;
    }
    auto found = values.find(std::string(script.substr(open + 1, close - open - 1)));
    if (found == values.end()) {
      out += script.substr(pos, close - pos);
      pos = close;
      continue;
    }
    out += script.substr(pos, open - pos);
    for (char c : found->second) {
      out += c;
      if (c == '\'') out += '\'';
    }
    pos = close + 1;
  }
  return out;
}

}  // namespace torvane
