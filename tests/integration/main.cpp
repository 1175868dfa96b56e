#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "integration/Harness.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check()) {
    fprintf(stderr, "no display: run under scripts/with-display.sh\n");
    return 1;
  }
  qm::itest::application();
  return RUN_ALL_TESTS();
}
