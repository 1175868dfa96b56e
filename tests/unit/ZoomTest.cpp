#include <gtest/gtest.h>

#include "fakes/TempHome.h"
#include "window/Zoom.h"

namespace qm::page {

TEST(Zoom, ZoomFileKeepsLevelsPerHostAndRefusesWhatDoesNotParse) {
  using Levels = std::optional<ZoomLevels>;
  std::pair<std::string, Levels> rows[] = {
      {"", ZoomLevels{}},
      {"# comment\n\n127.0.0.1=150\nmac.local = 90\r\n",
       ZoomLevels{{"127.0.0.1", 150}, {"mac.local", 90}}},
      {"a=5000\nb=0\na=200", ZoomLevels{{"a", 200}, {"b", 30}}},
      {"a=150\nno equals sign", std::nullopt},
      {"a=1.5", std::nullopt},
      {"a=-50", std::nullopt},
      {"=150", std::nullopt},
      {"two words=150", std::nullopt},
      {"[Zoom]\na=150", std::nullopt},
      {"a=9999999", std::nullopt},
  };
  for (auto& [text, want] : rows) EXPECT_EQ(parseZoomLevels(text), want) << text;

  // Written and read back: unzoomed hosts and the app's own pages (no host) are not kept.
  ZoomLevels levels{{"127.0.0.1", 67}, {"mac.local", 100}, {"", 150}, {"b\nc", 90}, {"x", 400}};
  EXPECT_EQ(parseZoomLevels(formatZoomLevels(levels)), (ZoomLevels{{"127.0.0.1", 67}, {"x", 300}}));
}

// From the file before, the hosts shown (none: the app's own page) and a step, to the level and
// the file after.
TEST(Zoom, AStepIsSavedForTheHostShownUnlessNothingChangesTheFileIsBrokenOrNoHostWasShown) {
  using Text = std::optional<std::string>;
  const std::string head = "# Page zoom in percent, per server host\n";
  std::tuple<Text, std::vector<Text>, int, int, Text> rows[] = {
      {{}, {"a"}, 2, 125, head + "a=125\n"},
      {"b=90\na=150\n", {"a"}, -1, 125, head + "a=125\nb=90\n"},
      {"a=150\n", {"a"}, 0, 100, head},
      {"a=150\n", {"a", {}}, 1, 175, head + "a=175\n"},
      {"a=150\n", {"b"}, 0, 100, "a=150\n"},
      {"a=300\n", {"a"}, 1, 300, "a=300\n"},
      {"a=150\nnot a level\n", {"a"}, 1, 110, "a=150\nnot a level\n"},
      {{}, {{}}, 1, 110, {}},
  };
  test::TempHome home;
  int row = 0;
  for (auto& [before, shown, steps, level, after] : rows) {
    std::string path = home.path() + "/" + std::to_string(++row) + "/zoom-levels";
    if (before) test::writeFile(path, *before);
    Zoom zoom(path);
    for (const Text& host : shown) zoom.show(host);
    EXPECT_EQ(zoom.step(steps), level) << "row " << row;
    EXPECT_EQ(files::read(path), after) << "row " << row;
  }
}

}  // namespace qm::page
