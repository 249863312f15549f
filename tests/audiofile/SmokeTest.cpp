#include <gtest/gtest.h>
// Replaced by the real tests of this subsystem.
TEST(Smoke, Builds) { SUCCEED(); }
