#include "RaceDayGenerator.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "FeedPlayer.h"

namespace torvane::sim {
namespace {

double Num(const std::string& text) { return std::stod(text); }

const RaceDay& DefaultDay() {
  static const RaceDay day = GenerateRaceDay({});
  return day;
}

TEST(RaceDayGeneratorTest, SameSeedGivesTheSameBytes) {
  RaceDayConfig config;
  config.seed = 7;
  const std::vector<FeedChunk> a = FeedFromRaceDay(GenerateRaceDay(config), true, true);
  const std::vector<FeedChunk> b = FeedFromRaceDay(GenerateRaceDay(config), true, true);
  ASSERT_GT(a.size(), 1000u);
  EXPECT_EQ(a, b);
  config.seed = 8;
  EXPECT_NE(FeedFromRaceDay(GenerateRaceDay(config), true, true), a);
}

TEST(RaceDayGeneratorTest, EventTimesNeverGoBack) {
  const RaceDay& day = DefaultDay();
  for (size_t i = 1; i < day.events.size(); ++i) {
    ASSERT_GE(day.events[i].atMs, day.events[i - 1].atMs) << i;
  }
  // A day of eight classes takes hours, as at the strip.
  EXPECT_GT(day.events.back().atMs, 3 * 3'600'000);
}

TEST(RaceDayGeneratorTest, ValuesLieInRealisticRanges) {
  const RaceDay& day = DefaultDay();
  const RaceClass* klass = nullptr;
  std::map<std::pair<Lane, int>, double> run;  // this pair's values by lane and code
  int values = 0;
  for (const RaceEvent& event : day.events) {
    if (const auto* pair = std::get_if<PairStart>(&event.body)) {
      klass = &day.classes.at(static_cast<size_t>(pair->classIndex));
      run.clear();
      continue;
    }
    const auto* value = std::get_if<LaneValue>(&event.body);
    if (value == nullptr) continue;
    ASSERT_NE(klass, nullptr);
    SCOPED_TRACE(klass->name + " code " + std::to_string(value->code) + " " + value->text);
    const double v = Num(value->text);
    ++values;
    run[{value->lane, value->code}] = v;
    switch (value->code) {
      case code::kReaction:
        EXPECT_GE(v, 0.4);
        EXPECT_LE(v, 0.6);
        break;
      case code::kSixty:
        EXPECT_GE(v, 0.8);
        EXPECT_LE(v, 3.5);
        break;
      case code::kQuarterTime:
        EXPECT_GE(v, 6.0);
        EXPECT_LE(v, 16.0);
        break;
      case code::kEighthTime:
        if (klass->eighthMile) {
          EXPECT_GE(v, 7.5);
          EXPECT_LE(v, 13.5);
        } else {
          EXPECT_GE(v, 3.8);
          EXPECT_LE(v, 10.4);
        }
        break;
      case code::kEighthSpeed:
      case code::kQuarterSpeed:
      case code::kSix:
        // Junior dragsters run 50-85 mph; quarter-mile cars 80-230.
        EXPECT_GE(v, klass->eighthMile ? 45.0 : 60.0);
        EXPECT_LE(v, klass->eighthMile ? 100.0 : 260.0);
        break;
      case code::kMargin:
        EXPECT_GE(v, 0.0);
        EXPECT_LT(v, 10.0);
        break;
      default:
        break;
    }
    if (value->code == code::kReaction || value->code == code::kMargin) {
      EXPECT_LE(value->text.size(), 6u);
    }
    // The beams are passed in order.
    const int order[] = {code::kSixty, code::kThreeThirty, code::kEighthTime, code::kThousand,
                         code::kQuarterTime};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
      const auto earlier = run.find({value->lane, order[i]});
      const auto later = run.find({value->lane, order[i + 1]});
      if (earlier != run.end() && later != run.end()) {
        EXPECT_LT(earlier->second, later->second);
      }
    }
  }
  EXPECT_GT(values, 2000);
}

TEST(RaceDayGeneratorTest, EveryPairGetsItsWinLightsDialInsAndMargin) {
  const RaceDay& day = DefaultDay();
  const PairStart* pair = nullptr;
  int lights[2] = {0, 0};
  int margins = 0;
  std::optional<Lane> marginLane;
  auto check = [&] {
    if (pair == nullptr) return;
    SCOPED_TRACE(pair->className + " " + RaceLetter(pair->kind) + std::to_string(pair->round));
    const bool solo = pair->right.carNumber.empty();
    if (solo) {
      EXPECT_EQ(lights[0], 1);
      EXPECT_EQ(lights[1], 0);
      EXPECT_EQ(margins, 0);
      return;
    }
    const int lit = lights[0] + lights[1];
    EXPECT_LE(lights[0], 1);
    EXPECT_LE(lights[1], 1);
    if (pair->kind == RaceKind::kClassEliminations) {
      EXPECT_GE(lit, 1);
    } else {
      EXPECT_EQ(lit, 1);
    }
    ASSERT_EQ(margins, 1);
    EXPECT_EQ(lights[*marginLane == Lane::kLeft ? 0 : 1], 1);
  };
  for (const RaceEvent& event : day.events) {
    if (const auto* p = std::get_if<PairStart>(&event.body)) {
      check();
      pair = p;
      lights[0] = lights[1] = 0;
      margins = 0;
      const RaceClass& klass = day.classes.at(static_cast<size_t>(p->classIndex));
      EXPECT_EQ(p->headsUp, klass.headsUp);
      for (const Racer* r : {&p->left, &p->right}) {
        if (r->carNumber.empty()) continue;
        EXPECT_EQ(r->dialHundredths.has_value(), !klass.headsUp) << klass.name;
        if (r->dialHundredths) {
          EXPECT_GE(*r->dialHundredths * 10, klass.quickestMs - 100);
          EXPECT_LE(*r->dialHundredths * 10, klass.slowestMs + 100);
        }
      }
    } else if (const auto* win = std::get_if<WinLight>(&event.body)) {
      ++lights[win->lane == Lane::kLeft ? 0 : 1];
    } else if (const auto* v = std::get_if<LaneValue>(&event.body); v && v->code == code::kMargin) {
      ++margins;
      marginLane = v->lane;
    }
  }
  check();
}

TEST(RaceDayGeneratorTest, EliminationWinnersMeetInTheNextRound) {
  const RaceDay& day = DefaultDay();
  // Per class and round: the cars that raced and the cars that won.
  std::map<int, std::map<int, std::set<std::string>>> racers;
  std::map<int, std::map<int, std::set<std::string>>> winners;
  const PairStart* pair = nullptr;
  for (const RaceEvent& event : day.events) {
    if (const auto* p = std::get_if<PairStart>(&event.body)) {
      pair = p->kind == RaceKind::kEliminations || p->kind == RaceKind::kClassEliminations
                 ? p
                 : nullptr;
      if (pair == nullptr) continue;
      racers[p->classIndex][p->round].insert(p->left.carNumber);
      if (!p->right.carNumber.empty()) racers[p->classIndex][p->round].insert(p->right.carNumber);
    } else if (const auto* win = std::get_if<WinLight>(&event.body); win && pair) {
      auto& set = winners[pair->classIndex][pair->round];
      // Of two winners in class eliminations the left lane goes on.
      if (win->lane == Lane::kLeft) {
        set.insert(pair->left.carNumber);
        set.erase(pair->right.carNumber);
      } else if (set.count(pair->left.carNumber) == 0) {
        set.insert(pair->right.carNumber);
      }
    }
  }
  ASSERT_EQ(racers.size(), day.classes.size());
  for (const auto& [klass, rounds] : racers) {
    SCOPED_TRACE(day.classes[static_cast<size_t>(klass)].name);
    EXPECT_GE(rounds.size(), 2u);
    const int lastRound = rounds.rbegin()->first;
    EXPECT_EQ(rounds.at(lastRound).size(), 2u);
    EXPECT_EQ(winners[klass][lastRound].size(), 1u);
    for (const auto& [round, cars] : rounds) {
      if (round == lastRound) continue;
      EXPECT_EQ(winners[klass][round], rounds.at(round + 1)) << "round " << round;
      EXPECT_EQ(cars.size(), 2 * rounds.at(round + 1).size()) << "round " << round;
    }
  }
}

TEST(RaceDayGeneratorTest, QualifyingListsAreInOrderWithTheirBumpSpot) {
  const RaceDay& day = DefaultDay();
  int lists = 0;
  int bumps = 0;
  int classIndex = -1;
  std::map<int, const QualifyingList*> lastList;  // per class
  for (const RaceEvent& event : day.events) {
    if (const auto* pair = std::get_if<PairStart>(&event.body)) {
      classIndex = pair->classIndex;
    } else if (const auto* list = std::get_if<QualifyingList>(&event.body)) {
      ++lists;
      lastList[classIndex] = list;
      ASSERT_FALSE(list->lines.empty());
      EXPECT_LE(list->lines.size(), 16u);
      for (size_t i = 0; i < list->lines.size(); ++i) {
        EXPECT_EQ(list->lines[i].position, static_cast<int>(i + 1));
        if (i > 0) {
          EXPECT_LE(Num(list->lines[i - 1].elapsedTime), Num(list->lines[i].elapsedTime));
        }
        EXPECT_EQ(list->lines[i].driver.find(','), std::string::npos);
      }
    } else if (const auto* bump = std::get_if<BumpSpot>(&event.body)) {
      // The bump spot is a time of the class's latest list.
      ++bumps;
      ASSERT_EQ(lastList.count(classIndex), 1u);
      const auto& lines = lastList[classIndex]->lines;
      const bool listed = std::any_of(lines.begin(), lines.end(), [&](const QualifierLine& l) {
        return l.elapsedTime == bump->text;
      });
      EXPECT_TRUE(listed) << bump->text;
    }
  }
  EXPECT_GT(lists, 50);
  EXPECT_GT(bumps, lists);
}

TEST(RaceDayGeneratorTest, DayHasEveryKindOfRaceAndClass) {
  const RaceDay& day = DefaultDay();
  std::set<RaceKind> kinds;
  for (const RaceEvent& event : day.events) {
    if (const auto* round = std::get_if<RoundStart>(&event.body)) {
      kinds.insert(round->kind);
      EXPECT_GE(round->round, 1);
      EXPECT_LE(round->round, 9);
    }
  }
  EXPECT_EQ(kinds.size(), 4u);
  auto has = [&](auto pred) { return std::any_of(day.classes.begin(), day.classes.end(), pred); };
  EXPECT_TRUE(has([](const RaceClass& k) { return k.headsUp; }));
  EXPECT_TRUE(has([](const RaceClass& k) { return !k.headsUp; }));
  EXPECT_TRUE(has([](const RaceClass& k) { return k.eighthMile; }));
  EXPECT_TRUE(has([](const RaceClass& k) { return k.dialsAsText; }));
}

TEST(RaceDayGeneratorTest, ClassNamesSuitBothStreams) {
  const std::set<std::string> tags = {"IQ", "L+", "R+", "S5", "S6", "D1",
                                      "D2", "D3", "D4", "D5", "D6"};
  std::set<std::string> names;
  for (const RaceClass& k : ClassCatalogue()) {
    SCOPED_TRACE(k.name);
    EXPECT_LE(k.name.size(), 16u);
    EXPECT_GE(k.name.size(), 3u);
    EXPECT_EQ(k.name.find(','), std::string::npos);
    EXPECT_GE(k.name.front(), 'A');
    EXPECT_LE(k.name.front(), 'Z');
    EXPECT_EQ(tags.count(k.name.substr(0, 2)), 0u);
    EXPECT_EQ(k.entryCode.size(), 2u);
    EXPECT_TRUE(names.insert(k.name).second);
  }
  EXPECT_EQ(ClassCatalogue().size(), static_cast<size_t>(kMaxClasses));
}

TEST(RaceDayGeneratorTest, ConfigIsBroughtIntoRange) {
  RaceDayConfig config;
  config.classCount = 99;
  config.minEntries = 40;
  config.maxEntries = 1;
  config.timeTrialRounds = 0;
  config.qualifyingSessions = 0;
  const RaceDay day = GenerateRaceDay(config);
  EXPECT_EQ(day.classes.size(), static_cast<size_t>(kMaxClasses));
  for (const RaceEvent& event : day.events) {
    if (const auto* round = std::get_if<RoundStart>(&event.body)) {
      EXPECT_NE(round->kind, RaceKind::kTimeTrials);
      EXPECT_NE(round->kind, RaceKind::kQualify);
    }
  }
  config.classCount = 0;
  EXPECT_EQ(GenerateRaceDay(config).classes.size(), 1u);
}

}  // namespace
}  // namespace torvane::sim
