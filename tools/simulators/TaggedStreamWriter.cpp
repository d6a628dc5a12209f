#include "TaggedStreamWriter.h"

#include <stdexcept>

namespace torvane::sim {
namespace {

// Dial-ins in text form carry two characters before the number.
constexpr std::string_view kDialTextPrefix = "DI";

std::string DialHundredthsText(int hundredths) {
  return std::to_string(hundredths / 100) + "." + std::to_string(hundredths % 100 / 10) +
         std::to_string(hundredths % 10);
}

}  // namespace

std::string TaggedStreamWriter::Record(std::string_view text) const {
  if (text.empty() || text.front() < 'A' || text.front() > 'z') {
    throw std::invalid_argument("a tagged record must start with a character from A to z");
  }
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b > 126 || c == '"') {
      throw std::invalid_argument("a tagged record holds a character the framing changes");
    }
  }
  std::string record(text);
  record += lineFeed_ ? "\r\n" : "\r";
  return record;
}

std::string TaggedStreamWriter::LaneTag(Lane lane, int code) {
  const bool left = lane == Lane::kLeft;
  if (code == code::kMargin) return left ? "fl" : "fr";
  char digit = 0;
  switch (code) {
    case code::kReaction:
      digit = '0';
      break;
    case code::kSixty:
      digit = '1';
      break;
    case code::kThreeThirty:
      digit = '2';
      break;
    case code::kEighthTime:
      digit = '3';
      break;
    case code::kEighthSpeed:
      digit = '4';
      break;
    case code::kThousand:
      digit = '5';
      break;
    case code::kQuarterTime:
      digit = '6';
      break;
    case code::kQuarterSpeed:
      digit = '7';
      break;
    default:
      return "";
  }
  return std::string(1, left ? 'L' : 'R') + digit;
}

std::vector<std::string> TaggedStreamWriter::Records(const RaceEvent& event) const {
  std::vector<std::string> out;
  if (const auto* round = std::get_if<RoundStart>(&event.body)) {
    out.push_back(Record(round->className + " " + RaceLetter(round->kind) +
                         std::to_string(round->round % 10)));
  } else if (const auto* pair = std::get_if<PairStart>(&event.body)) {
    auto dial = [&](const Racer& racer, char side) {
      if (!racer.dialHundredths) return;
      const std::string tag = std::string(1, pair->dialsAsText ? 'S' : 'D') + side;
      out.push_back(Record(tag + (pair->dialsAsText ? std::string(kDialTextPrefix) +
                                                          DialHundredthsText(*racer.dialHundredths)
                                                    : std::to_string(*racer.dialHundredths))));
    };
    // A driver goes with the car number in front, which the program drops.
    auto driver = [](const Racer& racer) {
      return racer.driver.empty() ? std::string() : racer.carNumber + " " + racer.driver;
    };
    out.push_back(Record("c1" + pair->left.carNumber));
    out.push_back(Record("b1" + pair->left.entry));
    out.push_back(Record("n1" + driver(pair->left)));
    dial(pair->left, '5');
    out.push_back(Record("c2" + pair->right.carNumber));
    out.push_back(Record("b2" + pair->right.entry));
    dial(pair->right, '6');
    out.push_back(Record("n2" + driver(pair->right)));
  } else if (const auto* value = std::get_if<LaneValue>(&event.body)) {
    const std::string tag = LaneTag(value->lane, value->code);
    if (!tag.empty()) out.push_back(Record(tag + value->text));
  } else if (const auto* win = std::get_if<WinLight>(&event.body)) {
    out.push_back(Record(win->lane == Lane::kLeft ? "w-LEFT" : "w-RIGHT"));
  } else if (const auto* bump = std::get_if<BumpSpot>(&event.body)) {
    out.push_back(Record("L+" + bump->text));
  } else if (const auto* list = std::get_if<QualifyingList>(&event.body)) {
    out.push_back(Record("IQ"));
    for (const QualifierLine& line : list->lines) {
      const char position = static_cast<char>('A' + (line.position - 1) % 26);
      out.push_back(Record(std::string(1, position) + " " + line.driver + "," + line.elapsedTime +
                           "," + line.speed));
    }
    out.push_back(Record("]"));
  } else if (const auto* ignored = std::get_if<IgnoredRecord>(&event.body)) {
    out.push_back(Record(ignored->tag + ignored->text));
  }
  return out;
}

}  // namespace torvane::sim
