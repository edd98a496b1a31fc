#include "shell/Resources.h"

#include <gtest/gtest.h>

#include <string>

TEST(Resources, FindsLinkedResourceByTypeAndNameIgnoringCase) {
  auto about = FindResource("TEXT", "ABOUT");
  ASSERT_TRUE(about.has_value());
  const std::string text(reinterpret_cast<const char*>(about->data()), about->size());
  EXPECT_EQ(text.rfind("Tarvolin 1.1.5", 0), 0u);
  EXPECT_TRUE(FindResource("text", "about").has_value());
}

TEST(Resources, MissingResourceIsNotFound) {
  EXPECT_FALSE(FindResource("TEXT", "NO_SUCH_THING").has_value());
  EXPECT_FALSE(FindResource("PNG", "ABOUT").has_value());
  EXPECT_FALSE(FindResource(nullptr, "ABOUT").has_value());
}
