#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "CardsRenderer.h"
#include "HealthReport.h"
#include "ImageTestSupport.h"
#include "SettingsStore.h"
#include "WebSettings.h"

namespace torvane {
namespace {

class CardsRendererTest : public testing::ImageFixture {
 protected:
  CardsRendererTest() {
    g_->Pages.SetTitle(0, "Index");
    g_->Pages.SetLine(0, 0, "Results");
    g_->Pages.SetLink(0, 0, 1);
    BuildAll();
  }
  CardSnapshot Snapshot(uint64_t sequence) const {
    CardSnapshot cards;
    cards.sequence = sequence;
    cards.image = g_->MapImage;
    return cards;
  }
  static size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }
};

TEST_F(CardsRendererTest, FullCardHoldsEveryPageAsTheDecoderReadsIt) {
  CardsRenderer renderer;
  ASSERT_TRUE(renderer.Update(Snapshot(7)));
  const std::string& full = renderer.Full();
  EXPECT_EQ(full.rfind("{\"sequence\":7,\"full\":true,\"pageCount\":3,\"card\":{", 0), 0U) << full;
  EXPECT_NE(full.find("\"title\":\"Index           \""), std::string::npos);
  EXPECT_NE(full.find("{\"text\":\"Results             \",\"link\":1}"), std::string::npos);
  EXPECT_EQ(Count(full, "\"number\":"), 3U);
  EXPECT_EQ(full.find('\n'), std::string::npos) << "a stream message is one line";
}

TEST_F(CardsRendererTest, DeltaCarriesOnlyThePagesThatChanged) {
  CardsRenderer renderer;
  renderer.Update(Snapshot(1));
  EXPECT_FALSE(renderer.Update(Snapshot(1))) << "same sequence, nothing to decode";
  g_->Pages.SetLine(1, 2, "1 SMITH  7.123");
  BuildAll();
  ASSERT_TRUE(renderer.Update(Snapshot(2)));
  const std::string& delta = renderer.Delta();
  EXPECT_EQ(delta.rfind("{\"sequence\":2,\"full\":false,\"pageCount\":3,", 0), 0U) << delta;
  EXPECT_EQ(Count(delta, "\"number\":"), 1U) << delta;
  EXPECT_NE(delta.find("\"number\":1,"), std::string::npos);
  EXPECT_NE(delta.find("1 SMITH  7.123"), std::string::npos);
  EXPECT_EQ(Count(renderer.Full(), "\"number\":"), 3U);
  // Nothing changed on the card: a new sequence sends no page.
  ASSERT_TRUE(renderer.Update(Snapshot(3)));
  EXPECT_EQ(Count(renderer.Delta(), "\"number\":"), 0U);
}

TEST_F(CardsRendererTest, EmptyCardRendersWithoutPages) {
  CardsRenderer renderer;
  EXPECT_EQ(renderer.Sequence(), 0U);
  EXPECT_EQ(renderer.Full().rfind("{\"sequence\":0,\"full\":true,\"pageCount\":0,", 0), 0U)
      << renderer.Full();
}

struct AddressCase {
  const char* text;
  bool ok;
  uint16_t port;
  const char* bind;
};

class WebAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(WebAddressTest, ParsesPortAndBind) {
  const AddressCase& c = GetParam();
  const std::optional<WebSettings> web = ParseWebAddress(c.text);
  ASSERT_EQ(web.has_value(), c.ok) << c.text;
  if (!c.ok) return;
  EXPECT_EQ(web->port, c.port);
  EXPECT_EQ(web->bind, c.bind);
}

INSTANTIATE_TEST_SUITE_P(
    Web, WebAddressTest,
    ::testing::Values(AddressCase{"8080", true, 8080, "127.0.0.1"},
                      AddressCase{"8080:0.0.0.0", true, 8080, "0.0.0.0"},
                      AddressCase{"65535:::1", true, 65535, "::1"}, AddressCase{"0", false, 0, ""},
                      AddressCase{"65536", false, 0, ""}, AddressCase{"80a", false, 0, ""},
                      AddressCase{"", false, 0, ""}, AddressCase{"8080:", false, 0, ""},
                      AddressCase{":8080", false, 0, ""}, AddressCase{"-1", false, 0, ""}));

struct StoredCase {
  const char* port;  // nullptr: not stored
  const char* bind;  // nullptr: not stored
  uint16_t wantPort;
  const char* wantBind;
  bool problem;
};

class WebSettingsTest : public ::testing::TestWithParam<StoredCase> {};

TEST_P(WebSettingsTest, ReadsPortAndBindUnderTheWebKey) {
  const StoredCase& c = GetParam();
  SettingsStore settings;
  if (c.port != nullptr) settings.WriteSetting(kWebKey, "Port", c.port, kRegSz);
  if (c.bind != nullptr) settings.WriteSetting(kWebKey, "Bind", c.bind, kRegSz);
  std::string problem;
  const WebSettings web = LoadWebSettings(settings, &problem);
  EXPECT_EQ(web.port, c.wantPort);
  EXPECT_EQ(web.On(), c.wantPort != 0);
  EXPECT_EQ(web.bind, c.wantBind);
  EXPECT_EQ(!problem.empty(), c.problem) << problem;
}

INSTANTIATE_TEST_SUITE_P(Web, WebSettingsTest,
                         ::testing::Values(StoredCase{nullptr, nullptr, 0, "127.0.0.1", false},
                                           StoredCase{"8080", nullptr, 8080, "127.0.0.1", false},
                                           StoredCase{"8080", "0.0.0.0", 8080, "0.0.0.0", false},
                                           StoredCase{"0", nullptr, 0, "127.0.0.1", false},
                                           StoredCase{"http", nullptr, 0, "127.0.0.1", true},
                                           StoredCase{"70000", nullptr, 0, "127.0.0.1", true}));

TEST(WebSettingsTest, PortStoredAsANumberIsRead) {
  SettingsStore settings;
  settings.WriteSetting(kWebKey, "Port", 8081, kRegDword);
  std::string problem;
  EXPECT_EQ(LoadWebSettings(settings, &problem).port, 8081);
  EXPECT_TRUE(problem.empty());
}

HealthSnapshot SomeHealth() {
  HealthSnapshot h;
  h.uptimeMs = 61500;
  h.lamps.ack = true;
  h.lamps.bufferPosition = 4096;
  h.counters.packetsSent = 1000;
  h.counters.acks = 990;
  h.counters.naks = 7;
  h.counters.recoveries = 3;
  h.counters.fullPasses = 2;
  h.transmitter = {"serial", "COM1 (/dev/pts/3)", true, "open"};
  h.timing = {"tcp", "timing:2000", false, "reconnecting in 4 s <b>\"x\"</b>"};
  h.lastFullPassAt = "14:02:11";
  h.lastFullPassMs = 2500;
  h.lastFullPassWireMs = 2400;
  h.recordsReceived = 42;
  h.recordsDropped = 1;
  h.timingReconnects = 2;
  return h;
}

TEST(HealthReportTest, JsonCarriesEveryFigure) {
  WebFigures web;
  web.eventStreams = 5;
  const std::string json = StatusJson(SomeHealth(), web);
  for (const char* part :
       {"\"uptimeSeconds\":61.500",
        "\"transmitter\":{\"kind\":\"serial\",\"where\":\"COM1 "
        "(/dev/pts/3)\",\"open\":true,\"state\":\"open\"}",
        "\"timing\":{\"kind\":\"tcp\",\"where\":\"timing:2000\",\"open\":false,\"state\":"
        "\"reconnecting in 4 s <b>\\\"x\\\"</b>\"}",
        "\"ack\":true", "\"nak\":false", "\"bufferPosition\":4096",
        "\"lastFullPass\":{\"at\":\"14:02:11\",\"seconds\":2.500,\"wireSeconds\":2.400}",
        "\"acks\":990", "\"naks\":7", "\"timeouts\":3", "\"recordsReceived\":42",
        "\"recordsDropped\":1", "\"timingNetwork\":2", "\"eventStreams\":5"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
}

TEST(HealthReportTest, PageEscapesTheStationsText) {
  const std::string html = StatusHtml(SomeHealth(), {});
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("reconnecting in 4 s &lt;b&gt;&quot;x&quot;&lt;/b&gt;"), std::string::npos);
  EXPECT_NE(html.find("took 2.500 s (the wire's time 2.400 s)"), std::string::npos);
}

// Every line is a comment or "name{labels} value"; each sample has its TYPE.
TEST(HealthReportTest, MetricsAreWellFormedPrometheusText) {
  const std::string text = MetricsText(SomeHealth(), {});
  std::istringstream lines(text);
  std::string line;
  std::set<std::string> typed;
  int samples = 0;
  while (std::getline(lines, line)) {
    ASSERT_FALSE(line.empty());
    if (line.rfind("# TYPE ", 0) == 0) {
      typed.insert(line.substr(7, line.find(' ', 7) - 7));
      continue;
    }
    if (line.rfind("# HELP ", 0) == 0) continue;
    const std::string name = line.substr(0, line.find_first_of("{ "));
    EXPECT_TRUE(typed.count(name)) << line;
    const std::string value = line.substr(line.rfind(' ') + 1);
    EXPECT_NO_THROW((void)std::stod(value)) << line;
    ++samples;
  }
  EXPECT_GT(samples, 20);
  for (const char* sample :
       {"torvane_acks_total 990\n", "torvane_timeouts_total 3\n",
        "torvane_link_open{link=\"timing\",kind=\"tcp\"} 0\n", "torvane_lamp{lamp=\"ack\"} 1\n",
        "torvane_last_full_pass_wire_seconds 2.400\n"}) {
    EXPECT_NE(text.find(sample), std::string::npos) << sample;
  }
}

}  // namespace
}  // namespace torvane
