#pragma once

// The fixture of the round trips: a scratch folder per test, kept when the test
// fails, and a clear failure when an interpreter is missing (CI installs them).

#include "tests/roundtrip/programs.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

namespace quillvane::roundtrip {

class RoundTrip : public ::testing::Test {
protected:
    void TearDown() override {
        if (HasFailure()) {
            dir.Keep();
            std::cerr << "the batch files are kept in " << dir.path() << "\n";
        }
    }

    // The program's path; a failure naming the Debian package when it is not installed.
    static std::string Require(const std::string& program, const std::string& package) {
        std::string path = FindProgram(program);
        if (path.empty())
            ADD_FAILURE() << program << " is not installed (Debian package " << package
                          << "); this round trip needs it";
        return path;
    }

    TempDir dir;
};

} // namespace quillvane::roundtrip
