// Page files: plain text, one page line per text line. Reading takes the lines
// apart at commas (a field in double quotes keeps its commas and loses the
// quotes); every field fills one page line. Qt-free.
#ifndef TORVANE_APP_GUI_PAGEFILE_H_
#define TORVANE_APP_GUI_PAGEFILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// The fields of a page file text, in order. Lines end in CR LF, LF or CR; the
// last line need not end. Surrounding spaces of an unquoted field are dropped.
std::vector<std::string> ReadPageFields(std::string_view text);

// Every line on a text line of its own, each ending CR LF.
std::string WritePageLines(const std::vector<std::string>& lines);

}  // namespace torvane

#endif  // TORVANE_APP_GUI_PAGEFILE_H_
