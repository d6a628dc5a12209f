// Opening, configuring and closing the two serial lines from their link settings.
#ifndef TORVANE_APP_PORTS_PORTOPENING_H_
#define TORVANE_APP_PORTS_PORTOPENING_H_

#include "Globals.h"
#include "Prompter.h"
#include "SerialLine.h"

namespace torvane {

// Closes the line, takes the link's port, settings text and flow control, and
// opens it again unless the link is "none" or TCP/IP. False as soon as the line
// refuses a step; nothing is shown.
bool ConfigureLine(SerialLine& line, const LinkSettings& link);

// Timing line: text mode, every read returns all that waits.
bool OpenTimingLine(SerialLine& line, const LinkSettings& link, Prompter& prompter);
// Transmitter line: binary, one byte a read. False when it was already open.
bool OpenTransmitterLine(SerialLine& line, const LinkSettings& link, Prompter& prompter);
// Discards waiting input and closes the line.
bool CloseTransmitterLine(SerialLine& line, Prompter& prompter);

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_PORTOPENING_H_
