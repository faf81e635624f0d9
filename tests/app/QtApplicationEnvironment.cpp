// One application object (the program's own, errors reported as in the program) for the whole test program (headless:
// the tests run with QT_QPA_PLATFORM=offscreen), made before the first test and gone after the last.
#include "app/Application.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<lumidra::app::TApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "lumidra-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<lumidra::app::TApplication> application_;
};

[[maybe_unused]] const auto* const registered = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
