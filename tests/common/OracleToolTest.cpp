// The oracle-tool rule: a missing tool skips a test on a developer's machine and fails it
// under CI; a present tool lets the test run either way.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/OracleTool.h"

namespace {

// Sets CI for one scope and puts the old value back.
class CiScope {
public:
    explicit CiScope(const char* value) {
        if (const char* old = std::getenv("CI")) m_old = old, m_had = true;
        if (value) setenv("CI", value, 1);
        else unsetenv("CI");
    }
    ~CiScope() {
        if (m_had) setenv("CI", m_old.c_str(), 1);
        else unsetenv("CI");
    }

private:
    std::string m_old;
    bool m_had = false;
};

bool g_ranOn = false;
void NeedsTool(const char* tool) {
    g_ranOn = false;
    REQUIRE_TOOL(tool);
    g_ranOn = true;
}

// What a call recorded, without letting it reach this test's own result.
void Record(testing::TestPartResultArray& results, void (*call)(const char*), const char* tool) {
    testing::ScopedFakeTestPartResultReporter reporter(
        testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
    call(tool);
}

const char* const kMissing = "sonquil-no-such-oracle-tool";

} // namespace

TEST(OracleTool, MissingToolSkipsLocallyAndFailsUnderCI) {
    {
        CiScope local(nullptr);
        testing::TestPartResultArray r;
        Record(r, NeedsTool, kMissing);
        ASSERT_EQ(r.size(), 1);
        EXPECT_TRUE(r.GetTestPartResult(0).skipped());
        EXPECT_FALSE(g_ranOn);
    }
    for (const char* notCi : {"false", "1", ""}) {
        CiScope other(notCi);
        testing::TestPartResultArray r;
        Record(r, NeedsTool, kMissing);
        ASSERT_EQ(r.size(), 1) << notCi;
        EXPECT_TRUE(r.GetTestPartResult(0).skipped()) << notCi;
    }
    {
        CiScope ci("true");
        testing::TestPartResultArray r;
        Record(r, NeedsTool, kMissing);
        ASSERT_EQ(r.size(), 1);
        EXPECT_TRUE(r.GetTestPartResult(0).fatally_failed());
        EXPECT_NE(std::string(r.GetTestPartResult(0).message()).find(kMissing), std::string::npos);
        EXPECT_FALSE(g_ranOn);
    }
}

TEST(OracleTool, PresentToolRunsTheTestEvenUnderCI) {
    CiScope ci("true");
    // The shell is there wherever the tests can run at all.
    testing::TestPartResultArray r;
    Record(r, NeedsTool, "sh");
    EXPECT_EQ(r.size(), 0);
    EXPECT_TRUE(g_ranOn);
    EXPECT_TRUE(HaveOracleTool("sh"));
}

TEST(OracleTool, OptionalToolGoesOnLocallyButFailsUnderCI) {
    {
        CiScope local(nullptr);
        testing::TestPartResultArray r;
        Record(
            r, [](const char* t) { EXPECT_FALSE(HaveOracleTool(t)); }, kMissing);
        EXPECT_EQ(r.size(), 0);
    }
    CiScope ci("true");
    testing::TestPartResultArray r;
    Record(
        r, [](const char* t) { EXPECT_FALSE(HaveOracleTool(t)); }, kMissing);
    ASSERT_EQ(r.size(), 1);
    EXPECT_TRUE(r.GetTestPartResult(0).nonfatally_failed());
}
