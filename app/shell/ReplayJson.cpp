#include "ReplayJson.h"

#include <string_view>

#include "Globals.h"
#include "ImageJson.h"

namespace torvane {
namespace {

class JsonObject {
 public:
  explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
  ~JsonObject() { out_ += '}'; }
  JsonObject(const JsonObject&) = delete;
  JsonObject& operator=(const JsonObject&) = delete;

  std::string& Key(std::string_view name) {
    if (!first_) out_ += ',';
    first_ = false;
    out_ += JsonString(name);
    out_ += ':';
    return out_;
  }
  void Text(std::string_view name, std::string_view value) { Key(name) += JsonString(value); }
  void Number(std::string_view name, long long value) { Key(name) += std::to_string(value); }
  void Flag(std::string_view name, bool value) { Key(name) += value ? "true" : "false"; }

 private:
  std::string& out_;
  bool first_ = true;
};

std::string Window(const SendWindow& window) {
  return "[" + std::to_string(window.Next) + "," + std::to_string(window.End) + "]";
}

void Lane(std::string& out, const LaneResult& lane) {
  JsonObject object(out);
  object.Text("Entry", lane.Entry);
  object.Text("CarNumber", lane.CarNumber);
  object.Text("Driver", lane.Driver);
  object.Text("Dial", lane.Dial);
  object.Text("ReactionTime", lane.ReactionTime);
  object.Text("Sixty", lane.Sixty);
  object.Text("ThreeThirty", lane.ThreeThirty);
  object.Text("EighthTime", lane.EighthTime);
  object.Text("EighthSpeed", lane.EighthSpeed);
  object.Text("Thousand", lane.Thousand);
  object.Text("EventSixValue", lane.EventSixValue);
  object.Text("QuarterTime", lane.QuarterTime);
  object.Text("QuarterSpeed", lane.QuarterSpeed);
  object.Text("Margin", lane.Margin);
  object.Text("DialDifference", lane.DialDifference);
  object.Flag("Win", lane.Win);
}

void Pages(std::string& out, const PageStore& pages) {
  out += '[';
  for (int k = 0; k <= pages.N(); ++k) {
    if (k > 0) out += ',';
    const PageRecord& page = pages[k];
    JsonObject object(out);
    object.Number("number", k);
    object.Number("address", page.Address);
    object.Text("title", page.Title);
    std::string& lines = object.Key("lines");
    lines += '[';
    for (size_t i = 0; i < page.Lines.size(); ++i) {
      if (i > 0) lines += ',';
      JsonObject line(lines);
      line.Text("text", page.Lines[i]);
      line.Number("link", i < page.Links.size() ? page.Links[i] : 0);
    }
    lines += ']';
  }
  out += ']';
}

void Race(std::string& out, const Globals& g) {
  const RaceState& race = g.Race;
  JsonObject object(out);
  object.Text("CurrentClass", race.CurrentClass);
  object.Number("ActiveCategory", race.ActiveCategory);
  object.Number("RaceType", race.RaceType);
  object.Number("RoundNumber", race.RoundNumber);
  object.Flag("HeadsUp", race.HeadsUp);
  object.Text("BumpTime", race.BumpTime);
  object.Number("HoldCountdown", g.HoldCountdown);
  object.Number("QualifyingCount", race.QualifyingCount);
  Lane(object.Key("LeftLane"), race.LeftLane);
  Lane(object.Key("RightLane"), race.RightLane);
}

void Windows(std::string& out, const Globals& g) {
  JsonObject object(out);
  object.Key("TitleWindow") += Window(g.TitleWindow);
  std::string& lines = object.Key("LineWindows");
  lines += '[';
  for (size_t i = 0; i < g.LineWindows.size(); ++i) {
    if (i > 0) lines += ',';
    lines += Window(g.LineWindows[i]);
  }
  lines += ']';
  object.Key("NamesWindow") += Window(g.NamesWindow);
  object.Key("BodyWindow") += Window(g.BodyWindow);
  object.Key("PageWindow") += Window(g.PageWindow);
}

}  // namespace

std::string ReplayJson(const Globals& globals, const std::vector<std::string>& messages) {
  std::string out;
  {
    JsonObject object(out);
    Pages(object.Key("pages"), globals.Pages);
    Race(object.Key("race"), globals);
    Windows(object.Key("windows"), globals);
    std::string& list = object.Key("messages");
    list += '[';
    for (size_t i = 0; i < messages.size(); ++i) {
      if (i > 0) list += ',';
      list += JsonString(messages[i]);
    }
    list += ']';
  }
  return out;
}

}  // namespace torvane
