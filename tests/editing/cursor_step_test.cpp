// Where the cursor goes after an entry: the automatic advance, explicit steps and the wrap at
// the end of the pattern and of the order grid.
#include "editing/cursor_step.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(CursorStep, PatternGrid_Targets) {
  struct Case {
    const char* name;
    int cursor, step, automatic, rows, target;
  };
  const Case cases[] = {
      {"16 rows, GridAdd 4, pattern row 14 wraps to row 2", 15, -1, 4, 16, 3},
      {"GridAdd 0 stays", 7, -1, 0, 64, 7},
      {"GridAdd 1 moves one row", 7, -1, 1, 64, 8},
      {"landing on the last row stays there", 12, -1, 4, 16, 16},
      {"one past the last row comes to the first", 16, -1, 1, 16, 1},
      {"a step larger than the pattern wraps until inside", 1, -1, 40, 16, 9},
      {"a step of several whole patterns lands on the same row", 5, -1, 48, 16, 5},
      {"an explicit step ignores the automatic one", 2, 3, 40, 16, 5},
      {"an explicit step 0 stays", 9, 0, 4, 16, 9},
      {"a template step instead of GridAdd", 10, -1, 6, 64, 16},
      {"a one-row pattern always stays on it", 1, -1, 5, 1, 1},
      {"a 256-row pattern wraps past row 255", 256, -1, 2, 256, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(NextPatternGridRow(c.cursor, c.step, c.automatic, c.rows), c.target) << c.name;
}

TEST(CursorStep, OrderGrid_AdvancesOnePosition_AndWrapsAfter255) {
  EXPECT_EQ(NextOrderGridRow(1, -1), 2);
  EXPECT_EQ(NextOrderGridRow(256, -1), 1);  // position 255 to position 0
  EXPECT_EQ(NextOrderGridRow(255, -1), 256);
  EXPECT_EQ(NextOrderGridRow(250, 10), 4);
  EXPECT_EQ(NextOrderGridRow(3, 0), 3);
}

TEST(CursorStep, Wrap_KeepsAnyRowInsideTheGrid) {
  EXPECT_EQ(WrapGridRow(0, 16), 16);  // one above the first row comes from the bottom
  EXPECT_EQ(WrapGridRow(-15, 16), 1);
  EXPECT_EQ(WrapGridRow(33, 16), 1);
  EXPECT_EQ(WrapGridRow(5, 0), 1);  // no rows: the first grid row
  static_assert(NextPatternGridRow(15, -1, 4, 16) == 3);
}

}  // namespace
}  // namespace varnel
