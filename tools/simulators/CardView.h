// Text views for the transmitter simulator: a page as a receiver card shows it,
// read from the image the transmitter holds, and a line of statistics.
#ifndef TORVANE_TOOLS_SIMULATORS_CARDVIEW_H_
#define TORVANE_TOOLS_SIMULATORS_CARDVIEW_H_

#include <span>
#include <string>

#include "ImageDecoder.h"
#include "SimTime.h"
#include "TransmitterModel.h"

namespace torvane::sim {

// Page pageNumber of the decoded image: a heading with its address, row count,
// colours and flags, the title, then the lines in a 20-column frame, each with
// its link; a row whose checksum fails is marked "!" (a card would not trust
// it). Bytes outside 32..126 show as '.'. Ends with "end of page N". A page the
// index table does not list gives one line saying so.
std::string FormatCardPage(const DecodedImage& image, int pageNumber);

// One line of statistics: totals at now, packets per second since before
// (taken `elapsed` earlier), the time of the last full image pass and the
// changed-row latency.
std::string FormatStatsLine(const TransmitterStats& now, const TransmitterStats& before,
                            Duration elapsed);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_CARDVIEW_H_
