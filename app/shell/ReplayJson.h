// The state a timing replay leaves, as one line of JSON: the page store, the
// race state, the send windows and the message boxes shown.
#ifndef TORVANE_APP_SHELL_REPLAYJSON_H_
#define TORVANE_APP_SHELL_REPLAYJSON_H_

#include <string>
#include <vector>

namespace torvane {

struct Globals;

// {"pages":[{"number":k,"address":a,"title":"...","lines":[{"text":"...","link":n}]}],
//  "race":{"CurrentClass":"...","ActiveCategory":n,"RaceType":n,"RoundNumber":n,
//          "HeadsUp":b,"BumpTime":"...","HoldCountdown":n,"QualifyingCount":n,
//          "LeftLane":{"Entry":"...",...,"Win":b},"RightLane":{...}},
//  "windows":{"TitleWindow":[next,end],"LineWindows":[[next,end],...10],
//             "NamesWindow":[...],"BodyWindow":[...],"PageWindow":[...]},
//  "messages":["..."]}
// Texts are the system's single-byte text, written as UTF-8 JSON strings.
std::string ReplayJson(const Globals& globals, const std::vector<std::string>& messages);

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_REPLAYJSON_H_
