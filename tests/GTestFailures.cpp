// Compiled into every GoogleTest program: what the support code reports as
// broken fails the running test.
#include "tests/support/Failure.h"

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] const bool installed = [] {
    lumidra::testing::FailureSink() = [](const std::string& text) { ADD_FAILURE() << text; };
    return true;
}();

}  // namespace
