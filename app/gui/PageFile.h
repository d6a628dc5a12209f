// Page files: plain text, one page line per text line, in the system's
// single-byte code page (Windows-1252), so they pass to and from Windows tools unchanged.
// Reading takes the lines apart at commas (a field in double quotes keeps its
// commas and loses the quotes); every field fills one page line as it stands,
// spaces included, so indented and centred lines keep their place. Qt-free.
//
// Files in UTF-8 (written by earlier versions, or by an editor) still read: a
// file that begins with the UTF-8 byte order mark, or that is valid UTF-8 and
// holds a character beyond ASCII, is taken as UTF-8; any other file as
// Windows-1252. A Windows-1252 file is almost never valid UTF-8 by chance (an
// accented letter would have to be followed by one of the bytes 0x80..0xBF).
#ifndef TORVANE_APP_GUI_PAGEFILE_H_
#define TORVANE_APP_GUI_PAGEFILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// The fields of a page file's bytes, in order, as single-byte text. Lines end
// in CR LF, LF or CR; the last line need not end. Blanks in front of an
// opening quote are skipped; an unquoted field keeps every character.
std::vector<std::string> ReadPageFile(std::string_view bytes);

// The page file's bytes as single-byte text, by the rule above.
std::string PageFileText(std::string_view bytes);

// The fields of single-byte text (what ReadPageFile does after PageFileText).
std::vector<std::string> ReadPageFields(std::string_view text);

// The file's bytes: every single-byte line on a text line of its own, as it
// stands, each ending CR LF.
std::string WritePageLines(const std::vector<std::string>& lines);

}  // namespace torvane

#endif  // TORVANE_APP_GUI_PAGEFILE_H_
