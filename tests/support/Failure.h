// Where the support code reports a broken expectation (a message box nobody
// scripted, a report nobody read). A test program sends it to its test
// framework (tests/GTestFailures.cpp); a program that sets nothing, such as a
// benchmark, gets the text on its standard error and carries on.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace lumidra::testing {

// The program's sink; empty for the standard error.
inline std::function<void(const std::string& text)>& FailureSink() {
    static std::function<void(const std::string& text)> sink;
    return sink;
}

// Reports one broken expectation.
inline void Fail(const std::string& text) {
    if (FailureSink()) {
        FailureSink()(text);
        return;
    }
    std::fprintf(stderr, "failure: %s\n", text.c_str());
}

}  // namespace lumidra::testing
