#pragma once
// Real tools (sox, ffmpeg, flac, sndfile-convert, ...) are the oracles of many tests. On a
// developer's machine a missing tool skips the test; under CI (CI=true) it fails, so a run
// cannot pass by skipping what it was meant to check.

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

// True when the environment says this is a CI run (CI=true).
bool UnderCI();

// Whether the tool is on the PATH. Under CI a missing tool also records a failure, so a test
// may use a tool when present and go on without it.
bool HaveOracleTool(const std::string& name);

// Ends the test when the tool is missing: skipped locally, failed under CI.
#define REQUIRE_TOOL(name)                                                                                             \
    do {                                                                                                               \
        const std::string sonquilTool_ = (name);                                                                       \
        if (!HaveProgram(sonquilTool_)) {                                                                              \
            if (UnderCI()) FAIL() << sonquilTool_ << " is not installed; CI needs every oracle tool";                  \
            GTEST_SKIP() << sonquilTool_ << " not installed";                                                          \
        }                                                                                                              \
    } while (0)

// Skips or fails (under CI) with a reason, for a test whose tools are all missing.
#define SKIP_FOR_MISSING_TOOLS(what)                                                                                   \
    do {                                                                                                               \
        if (UnderCI()) FAIL() << what << " not installed; CI needs every oracle tool";                                 \
        GTEST_SKIP() << what << " not installed";                                                                      \
    } while (0)
