// torvanetx-cli wirelet: a console over one Wirelet control, created by
// ProgID as the program creates it, for checking a timing system's TCP link
// by hand or from a script. One command per line on standard input:
//
//   get NAME | set NAME VALUE | call NAME [ARGS...] | config TEXT | pump MS | quit
//
// Arguments are separated by blanks; "..." keeps blanks; C escapes (\r, \n,
// \t, \\, \", \xHH) work in both. bytes:HEX passes a byte array. Every event
// prints "event NAME arg=value ..."; every failure "error 0xHHHHHHHH text".
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "CallbackSink.h"
#include "ClassesRootHive.h"
#include "CliCommand.h"
#include "CreateObject.h"
#include "HexDigits.h"
#include "WireletTypeLib.h"

namespace torvane::cli {
namespace {

// Splits a line into arguments, undoing quotes and C escapes.
std::vector<std::string> SplitArguments(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        quoted = !quoted;
        continue;
      }
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c != '\\' || i + 1 >= line.size()) {
        arg += c;
        continue;
      }
      char e = line[++i];
      switch (e) {
        case 'r':
          arg += '\r';
          break;
        case 'n':
          arg += '\n';
          break;
        case 't':
          arg += '\t';
          break;
        case '0':
          arg += '\0';
          break;
        case 'x': {
          int high = i + 1 < line.size() ? HexDigitValue(line[i + 1]) : -1;
          int low = i + 2 < line.size() ? HexDigitValue(line[i + 2]) : -1;
          if (high >= 0 && low >= 0) {
            arg += static_cast<char>(high * 16 + low);
            i += 2;
          } else {
            arg += "\\x";
          }
          break;
        }
        default:
          arg += e;
          break;
      }
    }
    out.push_back(std::move(arg));
  }
  return out;
}

std::string Escape(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c >= 32 && c < 127) {
          out += static_cast<char>(c);
        } else {
          char hex[5];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        }
    }
  }
  return out + "\"";
}

std::string Render(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
      return "(empty)";
    case VarType::kBool:
      return value.AsBool() ? "True" : "False";
    case VarType::kI2:
    case VarType::kI4:
      return std::to_string(value.AsI4());
    case VarType::kString:
      return Escape(value.AsString());
    case VarType::kBytes: {
      std::string out = "bytes:";
      for (uint8_t b : value.AsBytes()) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        out += hex;
      }
      return out;
    }
    case VarType::kOther:
      return "(other)";
  }
  return "?";
}

Variant ParseValue(const std::string& text) {
  if (text.rfind("bytes:", 0) != 0) return Variant::String(text);
  std::vector<uint8_t> bytes;
  for (size_t i = 6; i + 1 < text.size(); i += 2) {
    int high = HexDigitValue(text[i]);
    int low = HexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return Variant::String(text);
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  if ((text.size() - 6) % 2 != 0) return Variant::String(text);
  return Variant::Bytes(std::move(bytes));
}

class Console {
 public:
  explicit Console(IDispatch& control) : control_(control) {}

  void PrintEvent(DispId id, std::span<Variant> args) {
    const WireletMember* member = FindWireletMember(id, WireletMember::kEvent);
    std::string line = "event ";
    line += member != nullptr ? member->name : std::to_string(id);
    for (size_t i = 0; i < args.size(); ++i) {
      line += ' ';
      line += member != nullptr && i < member->arguments.size() ? member->arguments[i].first
                                                                : "arg" + std::to_string(i);
      line += '=' + Render(args[i]);
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }

  // False when the console should end.
  bool Run(const std::string& line) {
    std::vector<std::string> args = SplitArguments(line);
    if (args.empty() || args[0][0] == '#') return true;
    const std::string& command = args[0];
    if (command == "quit") return false;
    if (command == "get" && args.size() == 2) {
      Variant result;
      if (Invoke(args[1], kDispatchPropertyGet, {}, &result)) {
        Print(args[1] + "=" + Render(result));
      }
    } else if (command == "set" && args.size() == 3) {
      std::vector<Variant> values = {ParseValue(args[2])};
      if (Invoke(args[1], kDispatchPropertyPut, values, nullptr)) Print("ok");
    } else if (command == "call" && args.size() >= 2) {
      std::vector<Variant> values;
      for (size_t i = 2; i < args.size(); ++i) values.push_back(ParseValue(args[i]));
      Variant result;
      if (Invoke(args[1], kDispatchMethod, values, &result)) {
        Print(result.Type() == VarType::kEmpty ? "ok" : "result=" + Render(result));
      }
    } else if (command == "config" && args.size() == 2) {
      std::vector<Variant> values = {Variant::String(args[1])};
      Variant result;
      if (Invoke("Config", kDispatchMethod, values, &result)) Print("result=" + Render(result));
    } else if (command == "pump" && args.size() == 2) {
      Pump(std::atoi(args[1].c_str()));
    } else {
      Print("error unknown command: " + line);
    }
    return true;
  }

 private:
  void Print(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }

  bool Invoke(const std::string& name, uint16_t flags, std::vector<Variant> args, Variant* result) {
    DispId id = kDispIdUnknown;
    if (Failed(control_.GetIDsOfNames({&name, 1}, {&id, 1}))) {
      Print("error unknown member " + name);
      return false;
    }
    ExcepInfo excep;
    HResult hr = control_.Invoke(id, flags, args, result, &excep);
    if (Failed(hr)) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
      Print(std::string("error ") + code + " " + excep.description);
      return false;
    }
    return true;
  }

  // Runs the control's event loop for ms milliseconds.
  void Pump(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    DispId doEvents = 504;
    while (std::chrono::steady_clock::now() < end) {
      control_.Invoke(doEvents, kDispatchMethod, {}, nullptr, nullptr);
    }
  }

  IDispatch& control_;
};

}  // namespace

int RunWirelet(const Arguments& args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: torvanetx-cli wirelet < COMMANDS\n");
    return 2;
  }
  ComPtr<IDispatch> control;
  {
    std::unique_ptr<SettingsStore> store = OpenClassesRoot();
    ClassesRootHive hive(*store);
    HResult hr = CreateObject(hive, "Wirekit.Wirelet", kIidDispatch, control.Out());
    if (Failed(hr)) {
      std::printf("error 0x%08X cannot create Wirekit.Wirelet%s%s\n", static_cast<unsigned>(hr),
                  hr == kCoEDllNotFound ? ": " : "",
                  hr == kCoEDllNotFound ? LastModuleError().c_str() : "");
      return 1;
    }
  }
  Console console(*control.Get());
  CallbackSink* sink = CallbackSink::Create(
      [&](DispId id, std::span<Variant> args) { console.PrintEvent(id, args); });
  ComPtr<IConnectionPoint> point;
  uint32_t cookie = 0;
  if (Succeeded(control->QueryInterface(kIidConnectionPoint, point.Out()))) {
    point->Advise(sink, &cookie);
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!console.Run(line)) break;
  }
  if (point) point->Unadvise(cookie);
  sink->Release();
  return 0;
}

}  // namespace torvane::cli
