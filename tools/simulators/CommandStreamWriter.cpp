#include "CommandStreamWriter.h"

#include <stdexcept>

namespace torvane::sim {
namespace {

constexpr char kCr = '\r';
constexpr char kUnused = ' ';

char Side(Lane lane) { return lane == Lane::kLeft ? 'L' : 'R'; }

void AppendLane(std::vector<std::string>& out, Lane lane, const Racer& racer) {
  const std::string command = std::string("G") + Side(lane);
  out.push_back(CommandStreamWriter::Record(command, 'I', racer.entry));
  out.push_back(CommandStreamWriter::Record(command, '#', racer.carNumber));
  out.push_back(CommandStreamWriter::Record(command, 'L', racer.driver));
  if (racer.dialHundredths) {
    out.push_back(CommandStreamWriter::Record(command, 'D', std::to_string(*racer.dialHundredths)));
  }
}

}  // namespace

std::string CommandStreamWriter::Record(std::string_view command, char argument,
                                        std::string_view text) {
  if (argument == kCr || text.find(kCr) != std::string_view::npos) {
    throw std::invalid_argument("a carriage return inside a command record");
  }
  std::string record = "~";
  record += command;
  record += argument;
  record += text;
  record += kCr;
  return record;
}

std::vector<std::string> CommandStreamWriter::Records(const RaceEvent& event) {
  std::vector<std::string> out;
  if (const auto* pair = std::get_if<PairStart>(&event.body)) {
    out.push_back(Record("GC", kUnused, pair->className));
    out.push_back(Record("GH", pair->headsUp ? '1' : '0', ""));
    const bool eliminations =
        pair->kind == RaceKind::kEliminations || pair->kind == RaceKind::kClassEliminations;
    out.push_back(Record(eliminations ? "GE" : "GT", kUnused, std::to_string(pair->round)));
    AppendLane(out, Lane::kLeft, pair->left);
    AppendLane(out, Lane::kRight, pair->right);
  } else if (const auto* value = std::get_if<LaneValue>(&event.body)) {
    out.push_back(
        Record(std::string("T") + Side(value->lane), static_cast<char>(value->code), value->text));
  } else if (const auto* win = std::get_if<WinLight>(&event.body)) {
    out.push_back(Record(std::string("T") + Side(win->lane), 'W', ""));
  } else if (const auto* bump = std::get_if<BumpSpot>(&event.body)) {
    out.push_back(Record("TB", kUnused, bump->text));
  }
  return out;
}

std::vector<std::string> CommandStreamWriter::ClassList(const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (size_t i = 0; i < names.size() && i < kMaxClassListEntries; ++i) {
    out.push_back(Record("AS", static_cast<char>(i), names[i]));
  }
  out.push_back(Record("AS", 'E', ""));
  return out;
}

}  // namespace torvane::sim
