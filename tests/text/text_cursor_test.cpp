#include "text/text_cursor.h"

#include <gtest/gtest.h>

namespace dorvex {
TEST(TextCursorTest, Placeholder) { TextCursor c; EXPECT_FALSE(c.hasBuffer()); }
}
