// The state that the original kept in global variables, as one object owned by
// the Station. Components take references to the members they use, so two
// stations can live in one process.
#ifndef TORVANE_APP_STATE_GLOBALS_H_
#define TORVANE_APP_STATE_GLOBALS_H_

#include <array>
#include <cstdint>
#include <string>

#include "MapImage.h"
#include "PageStore.h"
#include "RaceState.h"

namespace torvane {

// A stretch [Next, End) of image addresses to send ahead of the cyclic pass.
struct SendWindow {
  int16_t Next = 0;
  int16_t End = 0;

  bool Pending() const { return Next < End; }
};

// The stored settings of one device link; the numeric fields are list positions
// of the settings dialogs.
struct LinkSettings {
  static constexpr int16_t kNoPort = 0;
  static constexpr int16_t kTcpIp = 25;

  int16_t ComPort = 0;        // 0 none, 1..24 COM1..COM24, 25 TCP/IP
  int16_t BitsPerSecond = 0;  // 110, 300, 600, 1200, 2400, 9600, 14400, 19200, 57600
  int16_t Parity = 0;         // N, O, E, M, S
  int16_t DataBits = 0;       // 4, 5, 6, 7, 8
  int16_t StopBits = 0;       // 1, 2
  int16_t FlowControl = 0;    // none, XOn/XOff, RTS, RTS and XOn/XOff
  std::string Host;           // "None" means no host
  std::string Port;           // "None" means no port
};

inline constexpr int kLineWindowCount = 10;
inline constexpr int kMaxTickerLength = 250;

struct Globals {
  MapImageBytes MapImage{};
  PageStore Pages;
  int16_t TxCursor = 0;
  int16_t MapEnd = 0;
  int16_t TickerAddress = 0;
  int16_t TickerLength = 0;
  std::string TickerText;  // at most kMaxTickerLength characters; empty when stopped
  int16_t VenueId = 0;
  int32_t PageDelay = 0;      // seconds; 0 disables the hold
  int32_t HoldCountdown = 0;  // milliseconds; the hold is active while > 0
  bool DelayEverything = false;
  int16_t DayOfYear = 0;

  // Numbered 1..10 by the page writer; LineWindows[0] is number 1.
  std::array<SendWindow, kLineWindowCount> LineWindows{};
  SendWindow BodyWindow;
  SendWindow NamesWindow;
  SendWindow TitleWindow;
  SendWindow PageWindow;

  LinkSettings TimingLink;
  LinkSettings TransmitterLink;
  bool TimingTcpActive = false;

  RaceState Race;

  // Empties every priority window.
  void ResetSendWindows();
};

// Whole days from 1 January of year to the given date: 0 on 1 January, 365 on
// 31 December of a leap year. month 1..12 (taken into that range), day 1..31.
// The program passes today's local date.
int16_t DayOfYear(int year, int month, int day);

}  // namespace torvane

#endif  // TORVANE_APP_STATE_GLOBALS_H_
