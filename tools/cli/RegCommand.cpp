// torvanetx-cli reg: read and script the settings files.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "AnsiText.h"
#include "AtomicFile.h"
#include "CliCommand.h"
#include "KeyTree.h"
#include "ProgramFolder.h"
#include "RegFile.h"
#include "RegValue.h"
#include "SettingsStore.h"

namespace torvane::cli {
namespace {

constexpr const char* kUsage =
    "usage: torvanetx-cli reg get    [--registry FILE] KEYPATH NAME\n"
    "       torvanetx-cli reg set    [--registry FILE] KEYPATH NAME VALUE [--type 1|4]\n"
    "       torvanetx-cli reg delete [--registry FILE] KEYPATH NAME\n"
    "FILE defaults to the user's HKEY_CURRENT_USER.reg; a FILE whose name starts with\n"
    "HKEY_CLASSES_ROOT holds that hive. KEYPATH is relative to the hive, e.g.\n"
    "'SOFTWARE\\TorvaneTX\\Main\\'; NAME \"\" is the key's default value.\n"
    "get prints the value (exit 1 and \"No Key Value\" when missing); set stores text\n"
    "(--type 1, the default) or a 32-bit number (--type 4); delete removes the value\n"
    "(exit 1 when it did not exist).\n";

struct RegRequest {
  std::string action;
  std::string file;
  std::string keyPath;
  std::string name;
  std::string value;
  int type = kRegSz;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "torvanetx-cli reg: %s\n%s", message.c_str(), kUsage);
  return kExitUsage;
}

// -2147483648..4294967295: what a 32-bit value can hold, signed or not.
bool IsDecimalInt32(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return false;
  long long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return number <= (negative ? 2147483648LL : 4294967295LL);
}

// Fills request from args; returns an exit status when the arguments are unusable
// (or help was asked for).
std::optional<int> ParseArguments(const Arguments& args, RegRequest& request) {
  std::vector<std::string> positional;
  bool typeGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return kExitOk;
    }
    if (arg == "--registry" || arg == "--type") {
      if (i + 1 >= args.size()) return UsageError(arg + " needs a value");
      const std::string& option = args[++i];
      if (arg == "--registry") {
        if (option.empty()) return UsageError("--registry needs a file name");
        request.file = option;
      } else if (option == "1" || option == "4") {
        request.type = option == "1" ? kRegSz : kRegDword;
        typeGiven = true;
      } else {
        return UsageError("--type must be 1 (text) or 4 (32-bit number), not '" + option + "'");
      }
    } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      return UsageError("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty()) return UsageError("missing get, set or delete");
  request.action = positional.front();
  const size_t wanted = request.action == "set" ? 4 : 3;
  if (request.action != "get" && request.action != "set" && request.action != "delete") {
    return UsageError("unknown action '" + request.action + "'");
  }
  if (positional.size() != wanted) {
    return UsageError(request.action +
                      (wanted == 4 ? " needs KEYPATH, NAME and VALUE" : " needs KEYPATH and NAME"));
  }
  if (typeGiven && request.action != "set") return UsageError("--type only goes with set");
  request.keyPath = Utf8ToAnsi(positional[1]);
  request.name = Utf8ToAnsi(positional[2]);
  if (wanted == 4) request.value = Utf8ToAnsi(positional[3]);
  if (request.type == kRegDword && !IsDecimalInt32(request.value)) {
    return UsageError("VALUE must be a decimal 32-bit number with --type 4");
  }
  if (!IsStorableName(request.keyPath) || !IsStorableName(request.name)) {
    return UsageError("KEYPATH and NAME cannot hold a line break");
  }
  if (request.file.empty()) request.file = SettingsFolder() + "/HKEY_CURRENT_USER.reg";
  return std::nullopt;
}

bool NamesClassesRoot(const std::string& file) {
  const auto slash = file.rfind('/');
  const std::string_view base =
      std::string_view(file).substr(slash == std::string::npos ? 0 : slash + 1);
  constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";
  return base.size() >= kClassesRoot.size() &&
         NamesEqual(base.substr(0, kClassesRoot.size()), kClassesRoot);
}

}  // namespace

int RunReg(const Arguments& args) {
  RegRequest request;
  if (const auto status = ParseArguments(args, request)) return *status;

  const bool classesRoot = NamesClassesRoot(request.file);
  const Hive hive = classesRoot ? Hive::kClassesRoot : Hive::kCurrentUser;
  const char* hiveName = classesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
  HiveFiles files;
  (classesRoot ? files.classesRoot : files.currentUser) = request.file;

  if (request.action == "get") {
    // Reading never changes the file, not even one that cannot be parsed.
    files.readOnly = true;
    const SettingsStore store(files);
    const std::string value = store.ReadSetting(request.keyPath, request.name, hive);
    std::printf("%s\n", AnsiToUtf8(value).c_str());
    return value == kNoKeyValue ? kExitFailed : kExitOk;
  }

  // A script must not replace a file it cannot parse: refuse instead of setting it aside.
  std::string contents;
  std::string error;
  const ReadStatus status = ReadWholeFile(request.file, &contents, &error);
  if (status == ReadStatus::kFailed) {
    std::fprintf(stderr, "torvanetx-cli reg: cannot read %s: %s\n", request.file.c_str(),
                 error.c_str());
    return kExitFailed;
  }
  RegFileParse parsed = ParseRegFile(contents, hiveName);
  if (!parsed.ok) {
    std::fprintf(stderr, "torvanetx-cli reg: %s line %zu: %s; the file is left as it is\n",
                 request.file.c_str(), parsed.errorLine, parsed.error.c_str());
    return kExitFailed;
  }

  if (request.action == "delete") {
    const RegKey* key = parsed.tree.FindKey(request.keyPath);
    if (key == nullptr || key->FindValue(request.name) == nullptr) {
      std::fprintf(stderr, "torvanetx-cli reg: no value '%s' in %s\n",
                   AnsiToUtf8(request.name).c_str(), AnsiToUtf8(request.keyPath).c_str());
      return kExitFailed;
    }
  }

  SettingsStore store(files);
  if (request.action == "set") {
    store.WriteSetting(request.keyPath, request.name, request.value, request.type, hive);
  } else if (!store.DeleteValue(request.keyPath, request.name, hive)) {
    return kExitFailed;
  }
  store.Flush();
  // The store has already told why on stderr.
  return store.HasUnsavedChanges() ? kExitFailed : kExitOk;
}

}  // namespace torvane::cli
