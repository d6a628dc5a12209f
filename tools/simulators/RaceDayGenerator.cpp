#include "RaceDayGenerator.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace torvane::sim {
namespace {

constexpr int64_t kUsPerMs = 1000;
constexpr int64_t kUsPerSecond = 1'000'000;
constexpr int64_t kNoTime = std::numeric_limits<int64_t>::max();
// Trap speed in mph times the quarter-mile time in seconds is about this for most cars.
constexpr double kSpeedTimesEt = 1363.0;
// A car's eighth-mile time is about this share of its quarter-mile time.
constexpr double kQuarterPerEighth = 1.55;
constexpr int kMaxQualifiers = 16;

// Deterministic draws on top of the standard engine, whose output the standard fixes.
class Random {
 public:
  explicit Random(uint64_t seed) : engine_(seed) {}

  int Between(int lo, int hi) {
    const auto span = static_cast<uint64_t>(hi - lo) + 1;
    return lo + static_cast<int>(engine_() % span);
  }
  double Unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  // About normal with mean 0 and deviation 1, within -3..3.
  double Noise() {
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += Unit();  // one draw per statement: a fixed order
    return std::clamp((sum - 2.0) * 1.7320508075688772, -3.0, 3.0);
  }
  template <typename T>
  void Shuffle(std::vector<T>& v) {
    for (size_t i = v.size(); i > 1; --i) {
      std::swap(v[i - 1], v[static_cast<size_t>(Between(0, static_cast<int>(i) - 1))]);
    }
  }

 private:
  std::mt19937_64 engine_;
};

std::string Thousandths(int64_t us) {
  const long long ms = (us + 500) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
  return text;
}

std::string Hundredths(int64_t hundredths) {
  const long long h = hundredths;
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%02lld", h / 100, h % 100);
  return text;
}

// Below a second with four decimals, so that close finishes still differ.
std::string MarginText(int64_t us) {
  if (us >= kUsPerSecond) return Thousandths(us);
  char text[32];
  std::snprintf(text, sizeof text, "0.%04lld", static_cast<long long>((us + 50) / 100));
  return text;
}

const std::array<const char*, 24> kFirstNames = {
    "MIKE", "JOHN", "DAVE", "JIM", "TOM", "BILL", "STEVE", "GARY", "RICK", "DAN", "JEFF", "MARK",
    "LISA", "KIM",  "AMY",  "SUE", "JEN", "BETH", "ANN",   "KATE", "TINA", "JOE", "RON",  "KEN"};
const std::array<const char*, 24> kLastNames = {
    "SMITH", "JONES", "BROWN",  "MILLER", "DAVIS",    "WILSON",   "MOORE",   "TAYLOR",
    "CLARK", "LEWIS", "HALL",   "YOUNG",  "KING",     "WRIGHT",   "SCOTT",   "GREEN",
    "BAKER", "ADAMS", "NELSON", "HILL",   "CAMPBELL", "MITCHELL", "ROBERTS", "CARTER"};

struct Competitor {
  Racer racer;
  int64_t baseEtUs = 0;
  int64_t bestEtUs = kNoTime;
  std::string bestSpeed;
};

struct TimedValue {
  int64_t offsetUs;  // from the start of the tree
  Lane lane;
  int code;
  std::string text;
};

struct LaneRun {
  bool present = false;
  int64_t finishUs = 0;  // from the start of the tree
  int64_t etUs = 0;
  int64_t dialUs = 0;  // 0: heads-up
  std::string trapSpeed;
  bool Breakout() const { return dialUs > 0 && etUs < dialUs; }
};

int FieldSize(size_t entries) {
  int field = 2;
  while (field * 2 <= kMaxQualifiers && static_cast<size_t>(field * 2) <= entries) field *= 2;
  return field;
}

// Ladder positions of seeds 1..field so that the favourites meet last:
// 1, 8, 4, 5, 2, 7, 3, 6 for eight.
std::vector<size_t> LadderOrder(int field) {
  std::vector<size_t> order = {1};
  while (static_cast<int>(order.size()) < field) {
    const size_t n = order.size() * 2 + 1;
    std::vector<size_t> next;
    for (size_t seed : order) {
      next.push_back(seed);
      next.push_back(n - seed);
    }
    order = std::move(next);
  }
  return order;
}

class DayBuilder {
 public:
  DayBuilder(const RaceDayConfig& config, RaceDay& day)
      : config_(config), day_(day), rng_(config.seed) {}

  void Build();

 private:
  std::vector<Competitor> MakeEntries(const RaceClass& klass);
  void StartRound(int classIndex, RaceKind kind, int round);
  // Pairs the competitors of order two by two (the last alone when odd) and
  // returns, per pair, the competitor who goes on.
  std::vector<size_t> RunRound(int classIndex, RaceKind kind, int round,
                               const std::vector<size_t>& order);
  // Runs a pair (no right: a single run); returns the lanes lit.
  std::array<bool, 2> RunPair(int classIndex, RaceKind kind, int round, Competitor& left,
                              Competitor* right);
  LaneRun SimulateLane(const RaceClass& klass, Competitor& c, Lane lane, int64_t greenUs,
                       std::vector<TimedValue>& values);
  std::vector<size_t> QualifyingOrder(int classIndex) const;
  void SendQualifying(int classIndex, int64_t atMs);
  std::optional<std::string> BumpSpotText(int classIndex) const;

  void Emit(int64_t atMs, RaceEventBody body) {
    now_ = std::max(now_, atMs);
    day_.events.push_back({now_, std::move(body)});
  }
  Competitor& Entry(int classIndex, size_t i) {
    return entries_[static_cast<size_t>(classIndex)][i];
  }

  const RaceDayConfig& config_;
  RaceDay& day_;
  Random rng_;
  std::vector<std::vector<Competitor>> entries_;
  int64_t now_ = 0;  // ms: the time of the last event
};

std::vector<Competitor> DayBuilder::MakeEntries(const RaceClass& klass) {
  const int count = rng_.Between(config_.minEntries, config_.maxEntries);
  std::vector<Competitor> out;
  std::vector<int> numbers;
  for (int i = 0; i < count; ++i) {
    int number = 0;
    do {
      number = rng_.Between(1, 9999);
    } while (std::find(numbers.begin(), numbers.end(), number) != numbers.end());
    numbers.push_back(number);
    Competitor c;
    c.racer.entry = klass.entryCode;
    c.racer.carNumber = std::to_string(number);
    const char* first = kFirstNames[static_cast<size_t>(rng_.Between(0, 23))];
    const char* last = kLastNames[static_cast<size_t>(rng_.Between(0, 23))];
    c.racer.driver = std::string(first) + " " + last;
    c.baseEtUs = int64_t{rng_.Between(klass.quickestMs, klass.slowestMs)} * kUsPerMs;
    out.push_back(std::move(c));
  }
  return out;
}

LaneRun DayBuilder::SimulateLane(const RaceClass& klass, Competitor& c, Lane lane, int64_t greenUs,
                                 std::vector<TimedValue>& values) {
  LaneRun run;
  run.present = true;
  const int64_t reactionUs = rng_.Between(400'000, 600'000);
  const double noise = rng_.Noise();
  const double et = std::clamp(static_cast<double>(c.baseEtUs) + noise * 25'000.0,
                               klass.eighthMile ? 7'500'000.0 : 6'000'000.0,
                               klass.eighthMile ? 13'500'000.0 : 16'000'000.0);
  run.etUs = static_cast<int64_t>(et);
  if (c.racer.dialHundredths) run.dialUs = int64_t{*c.racer.dialHundredths} * 10'000;
  const int64_t leave = greenUs + reactionUs;
  run.finishUs = leave + run.etUs;

  auto add = [&](int64_t offsetUs, int code, std::string text) {
    values.push_back({leave + offsetUs, lane, code, std::move(text)});
  };
  // A share of the run, varied a little; the shares keep the beams in order.
  auto part = [&](double share, double spread) {
    const double n = rng_.Noise();
    return static_cast<int64_t>(et * share * (1.0 + spread * n));
  };
  auto speed = [&](double mph, double spread) {
    const double n = rng_.Noise();
    return static_cast<int64_t>(mph * 100.0 * (1.0 + spread * n));
  };
  add(0, code::kReaction, Thousandths(reactionUs));
  if (klass.eighthMile) {
    const double quarterEt = et * kQuarterPerEighth / kUsPerSecond;
    const int64_t sixty = part(0.235, 0.01);
    const int64_t threeThirty = part(0.63, 0.004);
    add(sixty, code::kSixty, Thousandths(sixty));
    add(threeThirty, code::kThreeThirty, Thousandths(threeThirty));
    run.trapSpeed = Hundredths(speed(kSpeedTimesEt / quarterEt * 0.80, 0.01));
    add(run.etUs, code::kEighthTime, Thousandths(run.etUs));
    add(run.etUs, code::kEighthSpeed, run.trapSpeed);
    return run;
  }
  const double trapMph = kSpeedTimesEt / (et / kUsPerSecond);
  const int64_t sixty = part(0.155, 0.01);
  const int64_t threeThirty = part(0.405, 0.004);
  const int64_t eighth = part(0.640, 0.002);
  const int64_t thousand = part(0.835, 0.001);
  add(sixty, code::kSixty, Thousandths(sixty));
  add(threeThirty, code::kThreeThirty, Thousandths(threeThirty));
  add(eighth, code::kEighthTime, Thousandths(eighth));
  add(eighth, code::kEighthSpeed, Hundredths(speed(trapMph * 0.80, 0.005)));
  add(thousand, code::kThousand, Thousandths(thousand));
  add(thousand, code::kSix, Hundredths(speed(trapMph * 0.935, 0.005)));
  run.trapSpeed = Hundredths(speed(trapMph, 0.01));
  add(run.etUs, code::kQuarterTime, Thousandths(run.etUs));
  add(run.etUs, code::kQuarterSpeed, run.trapSpeed);
  return run;
}

std::array<bool, 2> DayBuilder::RunPair(int classIndex, RaceKind kind, int round, Competitor& left,
                                        Competitor* right) {
  const RaceClass& klass = day_.classes[static_cast<size_t>(classIndex)];
  // Dial-ins move a little from run to run.
  if (!klass.headsUp) {
    for (Competitor* c : {&left, right}) {
      if (c == nullptr) continue;
      const int64_t dialUs = c->baseEtUs + rng_.Between(0, 60'000);
      c->racer.dialHundredths = static_cast<int>((dialUs + 5'000) / 10'000);
    }
  }
  PairStart pair;
  pair.classIndex = classIndex;
  pair.className = klass.name;
  pair.kind = kind;
  pair.round = round;
  pair.headsUp = klass.headsUp;
  pair.dialsAsText = klass.dialsAsText;
  pair.left = left.racer;
  if (right != nullptr) pair.right = right->racer;
  const int64_t announceMs = now_ + rng_.Between(25'000, 70'000);
  Emit(announceMs, std::move(pair));
  // Selecting the class clears the bump spot on the page; it comes again.
  if (kind == RaceKind::kQualify) {
    if (std::optional<std::string> bump = BumpSpotText(classIndex)) {
      Emit(announceMs + 500, BumpSpot{std::move(*bump)});
    }
  }

  // The slower dial-in leaves first; heads-up lanes leave together.
  int64_t greenLeft = 0;
  int64_t greenRight = 0;
  if (!klass.headsUp && right != nullptr) {
    const int64_t diff =
        int64_t{*left.racer.dialHundredths - *right->racer.dialHundredths} * 10'000;
    if (diff > 0) {
      greenRight = diff;
    } else {
      greenLeft = -diff;
    }
  }
  const int64_t treeMs = now_ + rng_.Between(20'000, 45'000);
  std::vector<TimedValue> values;
  LaneRun runs[2];
  runs[0] = SimulateLane(klass, left, Lane::kLeft, greenLeft, values);
  if (right != nullptr) runs[1] = SimulateLane(klass, *right, Lane::kRight, greenRight, values);
  std::stable_sort(values.begin(), values.end(), [](const TimedValue& a, const TimedValue& b) {
    return a.offsetUs < b.offsetUs;
  });
  for (TimedValue& v : values) {
    Emit(treeMs + v.offsetUs / kUsPerMs, LaneValue{v.lane, v.code, std::move(v.text)});
  }

  std::array<bool, 2> won{true, false};
  if (runs[1].present) {
    const bool leftFirst = runs[0].finishUs <= runs[1].finishUs;
    const bool out0 = runs[0].Breakout();
    const bool out1 = runs[1].Breakout();
    if (out0 && out1) {
      // Both quicker than their dial-ins: the one who broke out by less wins.
      const bool leftCloser = runs[0].dialUs - runs[0].etUs <= runs[1].dialUs - runs[1].etUs;
      won = {leftCloser, !leftCloser};
    } else if (kind == RaceKind::kClassEliminations || out0 != out1) {
      // In class eliminations every car that holds its dial-in wins.
      won = {!out0, !out1};
    } else {
      won = {leftFirst, !leftFirst};
    }
  }
  const int64_t endMs = now_;
  for (int lane = 0; lane < 2; ++lane) {
    if (won[static_cast<size_t>(lane)]) {
      Emit(endMs + 300, WinLight{lane == 0 ? Lane::kLeft : Lane::kRight});
    }
  }
  if (runs[1].present) {
    // The margin goes with the winner; of two winners, with the one who finished first.
    const bool leftFirst = runs[0].finishUs <= runs[1].finishUs;
    const Lane marginLane = won[0] && (!won[1] || leftFirst) ? Lane::kLeft : Lane::kRight;
    const int64_t margin =
        leftFirst ? runs[1].finishUs - runs[0].finishUs : runs[0].finishUs - runs[1].finishUs;
    Emit(endMs + 400, LaneValue{marginLane, code::kMargin, MarginText(margin)});
  }

  if (kind == RaceKind::kQualify) {
    for (int lane = 0; lane < 2; ++lane) {
      Competitor* c = lane == 0 ? &left : right;
      if (c == nullptr || runs[lane].etUs >= c->bestEtUs) continue;
      c->bestEtUs = runs[lane].etUs;
      c->bestSpeed = runs[lane].trapSpeed;
    }
    SendQualifying(classIndex, now_ + 2'000);
  }
  return won;
}

// Entries with a qualifying time, quickest first; ties in entry order.
std::vector<size_t> DayBuilder::QualifyingOrder(int classIndex) const {
  const auto& list = entries_[static_cast<size_t>(classIndex)];
  std::vector<size_t> order;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].bestEtUs != kNoTime) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return list[a].bestEtUs < list[b].bestEtUs; });
  return order;
}

void DayBuilder::SendQualifying(int classIndex, int64_t atMs) {
  const std::vector<size_t> order = QualifyingOrder(classIndex);
  if (order.empty()) return;
  QualifyingList list;
  for (size_t p = 0; p < order.size() && p < kMaxQualifiers; ++p) {
    const Competitor& c = Entry(classIndex, order[p]);
    list.lines.push_back(
        {static_cast<int>(p + 1), c.racer.driver, Thousandths(c.bestEtUs), c.bestSpeed});
  }
  Emit(atMs, std::move(list));
  if (std::optional<std::string> bump = BumpSpotText(classIndex)) {
    Emit(atMs, BumpSpot{std::move(*bump)});
  }
}

std::optional<std::string> DayBuilder::BumpSpotText(int classIndex) const {
  const std::vector<size_t> order = QualifyingOrder(classIndex);
  if (order.empty()) return std::nullopt;
  // The slowest time still inside the field.
  const auto field =
      static_cast<size_t>(FieldSize(entries_[static_cast<size_t>(classIndex)].size()));
  const size_t last = std::min(order.size(), field) - 1;
  return Thousandths(entries_[static_cast<size_t>(classIndex)][order[last]].bestEtUs);
}

void DayBuilder::StartRound(int classIndex, RaceKind kind, int round) {
  const RaceClass& klass = day_.classes[static_cast<size_t>(classIndex)];
  const int64_t atMs = now_ + rng_.Between(120'000, 300'000);
  Emit(atMs, RoundStart{classIndex, klass.name, kind, round, klass.headsUp});
  if (!config_.ignoredRecords) return;
  // Shaped like records the program acts on, so a parser that confuses them shows.
  const std::array<IgnoredRecord, 8> ignored = {{{"D1", "1050"},
                                                 {"D2", "1100"},
                                                 {"D3", "0"},
                                                 {"D4", "0"},
                                                 {"q1", klass.name},
                                                 {"q2", std::to_string(round)},
                                                 {"R+", "7.123"},
                                                 {"m-", "LEFT"}}};
  for (const IgnoredRecord& r : ignored) Emit(atMs, r);
}

std::vector<size_t> DayBuilder::RunRound(int classIndex, RaceKind kind, int round,
                                         const std::vector<size_t>& order) {
  StartRound(classIndex, kind, round);
  std::vector<size_t> goOn;
  for (size_t i = 0; i < order.size(); i += 2) {
    // The lane choice is the better seed's; which lane it takes is its own affair.
    size_t a = order[i];
    if (i + 1 == order.size()) {
      RunPair(classIndex, kind, round, Entry(classIndex, a), nullptr);
      goOn.push_back(a);
      continue;
    }
    size_t b = order[i + 1];
    if (rng_.Between(0, 1) == 1) std::swap(a, b);
    const std::array<bool, 2> won =
        RunPair(classIndex, kind, round, Entry(classIndex, a), &Entry(classIndex, b));
    goOn.push_back(won[0] ? a : b);
  }
  return goOn;
}

void DayBuilder::Build() {
  const auto& catalogue = ClassCatalogue();
  for (int k = 0; k < config_.classCount; ++k) {
    day_.classes.push_back(catalogue[static_cast<size_t>(k)]);
    entries_.push_back(MakeEntries(day_.classes.back()));
  }
  const int classes = config_.classCount;
  auto shuffled = [&](int k) {
    std::vector<size_t> order(entries_[static_cast<size_t>(k)].size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    rng_.Shuffle(order);
    return order;
  };
  for (int round = 1; round <= config_.timeTrialRounds; ++round) {
    for (int k = 0; k < classes; ++k) RunRound(k, RaceKind::kTimeTrials, round, shuffled(k));
  }
  for (int session = 1; session <= config_.qualifyingSessions; ++session) {
    for (int k = 0; k < classes; ++k) RunRound(k, RaceKind::kQualify, session, shuffled(k));
  }

  // The field: the quickest qualifiers in ladder order, or a draw without qualifying.
  std::vector<std::vector<size_t>> alive;
  for (int k = 0; k < classes; ++k) {
    std::vector<size_t> seeds = QualifyingOrder(k);
    if (seeds.empty()) seeds = shuffled(k);
    const int field = FieldSize(entries_[static_cast<size_t>(k)].size());
    seeds.resize(std::min(seeds.size(), static_cast<size_t>(field)));
    std::vector<size_t> ladder;
    for (size_t seed : LadderOrder(field)) {
      if (seed <= seeds.size()) ladder.push_back(seeds[seed - 1]);
    }
    alive.push_back(std::move(ladder));
  }
  for (int round = 1; round <= 9; ++round) {
    bool any = false;
    for (int k = 0; k < classes; ++k) {
      std::vector<size_t>& left = alive[static_cast<size_t>(k)];
      if (left.size() < 2) continue;
      any = true;
      const RaceKind kind = day_.classes[static_cast<size_t>(k)].classEliminations
                                ? RaceKind::kClassEliminations
                                : RaceKind::kEliminations;
      left = RunRound(k, kind, round, left);
    }
    if (!any) break;
  }
}

RaceDayConfig Normalised(RaceDayConfig config) {
  config.classCount = std::clamp(config.classCount, 1, kMaxClasses);
  config.minEntries = std::clamp(config.minEntries, 2, 32);
  config.maxEntries = std::clamp(config.maxEntries, config.minEntries, 32);
  config.timeTrialRounds = std::clamp(config.timeTrialRounds, 0, 9);
  config.qualifyingSessions = std::clamp(config.qualifyingSessions, 0, 9);
  return config;
}

}  // namespace

const std::vector<RaceClass>& ClassCatalogue() {
  // name, entry code, heads-up, eighth mile, class eliminations, dial-ins as text, ET range.
  static const std::vector<RaceClass> catalogue = {
      {"PRO MOD", "PM", true, false, false, false, 6'100, 6'600},
      {"PRO STOCK", "PS", true, false, false, false, 6'500, 6'950},
      {"TOP SPORTSMAN", "TS", false, false, false, true, 6'800, 7'800},
      {"SUPER PRO", "SP", false, false, false, false, 8'000, 9'900},
      {"PRO", "PR", false, false, false, true, 10'000, 11'900},
      {"SPORTSMAN", "SM", false, false, false, false, 12'000, 15'800},
      {"JUNIOR DRAGSTER", "JD", false, true, false, false, 7'900, 12'900},
      {"STOCK", "ST", false, false, true, true, 11'000, 15'500},
      {"SUPER STREET", "SS", false, false, false, false, 10'900, 11'500},
      {"TOP DRAGSTER", "TD", false, false, false, true, 6'500, 7'500},
      {"MOTORCYCLE", "MC", false, false, false, false, 8'500, 11'000},
      {"SUPER GAS", "SG", false, false, false, false, 9'900, 10'400},
  };
  return catalogue;
}

RaceDay GenerateRaceDay(const RaceDayConfig& config) {
  const RaceDayConfig normalised = Normalised(config);
  RaceDay day;
  DayBuilder(normalised, day).Build();
  return day;
}

}  // namespace torvane::sim
