// The GLib main loop's worker threads.
#include "platform/glib/GlibLoop.h"

#include <gtest/gtest.h>

#include <thread>

#include "fakes/LoopbackServer.h"

namespace qm {
namespace {

TEST(GlibLoop, BackgroundWorkRunsOffTheMainThreadAndItsResultComesBackOnIt) {
  GlibLoop loop;
  std::thread::id worker, back;
  std::optional<int> result;
  inBackground<int>(
      loop, [&] { return worker = std::this_thread::get_id(), 42; },
      [&](int r) { back = std::this_thread::get_id(), result = r; });
  ASSERT_TRUE(test::spinUntil([&] { return result.has_value(); }));
  EXPECT_EQ(std::tuple(*result, back), std::tuple(42, std::this_thread::get_id()));
  EXPECT_NE(worker, std::this_thread::get_id());
}

}  // namespace
}  // namespace qm
