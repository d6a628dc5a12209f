// The code page converters over iconv. Descriptors are opened once per page
// and direction on each thread and kept; every conversion starts from the
// initial shift state.
#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "CodePageText.h"

namespace torvane {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// iconv's name of a Windows code page.
std::string IconvName(int32_t codePage) {
  if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
  switch (codePage) {
    case 28603:
      return "ISO-8859-13";
    case 28605:
      return "ISO-8859-15";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
    case 51932:
      return "EUC-JP";
    case 51949:
      return "EUC-KR";
    case 54936:
      return "GB18030";
    case 50220:
      return "ISO-2022-JP";
    case 10000:
      return "MACINTOSH";
    default:
      return "CP" + std::to_string(codePage);
  }
}

class Converters {
 public:
  ~Converters() {
    for (const Entry& entry : entries_) {
      if (entry.cd != kNone) iconv_close(entry.cd);
    }
  }

  // kNone when iconv does not know the page; the failure is kept too.
  iconv_t Get(int32_t codePage, bool toUtf8) {
    for (const Entry& entry : entries_) {
      if (entry.codePage == codePage && entry.toUtf8 == toUtf8) return entry.cd;
    }
    const std::string name = IconvName(codePage);
    iconv_t cd = toUtf8 ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
    // A program that asks for many pages keeps only the latest few.
    if (entries_.size() >= 16) {
      if (entries_.front().cd != kNone) iconv_close(entries_.front().cd);
      entries_.erase(entries_.begin());
    }
    entries_.push_back({codePage, toUtf8, cd});
    return cd;
  }

  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

 private:
  struct Entry {
    int32_t codePage;
    bool toUtf8;
    iconv_t cd;
  };
  std::vector<Entry> entries_;
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Runs cd over in; at input it cannot take, appends replacement and skips
// skip(first byte) bytes. Ends in the page's initial shift state.
template <typename Skip>
void Convert(iconv_t cd, std::string_view in, std::string& out, std::string_view replacement,
             Skip skip) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::vector<char> buffer(in.size() * 4 + 16);
  auto flush = [&] {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer.data(), static_cast<size_t>(outPtr - buffer.data()));
  };
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const int error = errno;
    out.append(buffer.data(), static_cast<size_t>(outPtr - buffer.data()));
    if (rc != static_cast<size_t>(-1) || error == E2BIG) continue;
    // EILSEQ or EINVAL: input the page does not define, or cut short.
    flush();
    out.append(replacement);
    const size_t n = std::min(inLeft, skip(static_cast<unsigned char>(*inPtr)));
    inPtr += n;
    inLeft -= n;
  }
  flush();
}

}  // namespace

int32_t CodePageOfCodeset(std::string_view codeset) {
  std::string name;
  for (char c : codeset) name += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
  if (name == "UTF-8" || name == "UTF8") return 65001;
  if (name.rfind("ISO-8859-", 0) == 0 || name.rfind("ISO8859-", 0) == 0) {
    const int part = std::atoi(name.c_str() + name.find('-', 4) + 1);
    if (part >= 1 && part <= 9) return 28590 + part;
    if (part == 13) return 28603;
    if (part == 15) return 28605;
    return 0;
  }
  if (name.rfind("CP", 0) == 0 && name.size() > 2 &&
      name.find_first_not_of("0123456789", 2) == std::string::npos) {
    return std::atoi(name.c_str() + 2);
  }
  struct Named {
    const char* name;
    int32_t codePage;
  };
  static const Named kNamed[] = {
      {"KOI8-R", 20866},  {"KOI8-U", 21866}, {"SHIFT_JIS", 932},  {"SJIS", 932},
      {"EUC-JP", 20932},  {"EUC-KR", 51949}, {"GB2312", 936},     {"GBK", 936},
      {"GB18030", 54936}, {"BIG5", 950},     {"BIG5-HKSCS", 950}, {"TIS-620", 874},
  };
  for (const Named& entry : kNamed) {
    if (name == entry.name) return entry.codePage;
  }
  return 0;
}

int32_t SystemAnsiCodePage() {
  const int32_t codePage = CodePageOfCodeset(nl_langinfo(CODESET));
  return codePage == 0 || codePage == 20127 ? 1252 : codePage;
}

namespace internal {

bool SystemDecode(int32_t codePage, std::string_view bytes, std::string& utf8) {
  iconv_t cd = ThreadConverters().Get(codePage, true);
  if (cd == Converters::kNone) return false;
  utf8.clear();
  Convert(cd, bytes, utf8, kReplacement, [](unsigned char) { return size_t{1}; });
  return true;
}

bool SystemEncode(int32_t codePage, std::string_view utf8, std::string& bytes) {
  iconv_t cd = ThreadConverters().Get(codePage, false);
  if (cd == Converters::kNone) return false;
  bytes.clear();
  Convert(cd, utf8, bytes, "?", Utf8Length);
  return true;
}

}  // namespace internal
}  // namespace torvane
