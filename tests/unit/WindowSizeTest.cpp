#include <gtest/gtest.h>

#include "window/WindowSize.h"

using namespace qm;

TEST(WindowSize, FitsTheWorkAreaButNeverBelowTheMinimum) {
  const WindowSize minimum{760, 540};
  struct Case {
    WindowSize wanted, area, fitted;
  } cases[] = {
      {{1320, 900}, {1280, 800}, {1280, 800}},     // the first size on a common laptop
      {{1320, 900}, {1366, 741}, {1320, 741}},     // only the height is short (panel at 27)
      {{2400, 1500}, {1920, 1050}, {1920, 1050}},  // a saved size from a larger monitor
      {{1000, 700}, {1920, 1050}, {1000, 700}},    // fits: left as it is
      {{1320, 900}, {640, 480}, {760, 540}},       // smaller than the minimum the window keeps
      {{1320, 900}, {0, 0}, {1320, 900}},          // no monitor known
  };
  for (const Case& c : cases)
    EXPECT_EQ(fitToArea(c.wanted, c.area, minimum), c.fitted)
        << c.wanted.width << "x" << c.wanted.height << " in " << c.area.width << "x"
        << c.area.height;
}
