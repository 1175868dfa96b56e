#include <gtest/gtest.h>

#include "window/PageControls.h"

namespace qm::page {

TEST(PageControls, ZoomFileKeepsLevelsPerHostAndRefusesWhatDoesNotParse) {
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

}  // namespace qm::page
