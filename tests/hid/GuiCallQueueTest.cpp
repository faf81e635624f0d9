// The GUI thread's queue of posted calls: order, a call posted again while it
// waits, the wake-ups a loop is owed, and what is let go at the end.
#include "hid/GuiCallQueue.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace lumidra::hid {
namespace {

class TNamedCall final : public TGuiCall {
public:
    TNamedCall(char Name, std::string& Trace) : name_(Name), trace_(Trace) {}
    void Run() override { trace_ += std::string("run ") + name_ + ' '; }

private:
    char name_;
    std::string& trace_;
};

// A script of steps, one letter or word each:
//   A, B   post the reusable call A or B (the same object every time)
//   1..9   post a one-off call with that number
//   t      take the first call and run it
// The trace tells, step by step, whether the push asked for a wake-up
// ("wake" / "-"), what ran, whether more waited behind it ("+"), and "none"
// for a take from an empty queue.
struct TScriptCase {
    const char* Name;
    const char* Script;
    const char* Trace;
};

void PrintTo(const TScriptCase& c, std::ostream* os) {
    *os << c.Name;
}

class GuiCallQueueScript : public ::testing::TestWithParam<TScriptCase> {};

TEST_P(GuiCallQueueScript, RunsAndWakesAsScripted) {
    std::string trace;
    TGuiCallQueue queue;
    std::map<char, std::shared_ptr<TGuiCall>> reusable{{'A', std::make_shared<TNamedCall>('A', trace)},
                                                       {'B', std::make_shared<TNamedCall>('B', trace)}};
    std::istringstream script(GetParam().Script);
    for (std::string step; script >> step;) {
        const char c = step[0];
        if (c == 't') {
            bool more = false;
            auto call = queue.Take(more);
            if (!call)
                trace += "none ";
            else
                call->Run();
            if (more) trace += "+ ";
        } else {
            const bool wake = c >= '1' && c <= '9' ? queue.Push([&trace, c] { trace += std::string("run ") + c + ' '; })
                                                   : queue.Push(reusable.at(c));
            trace += wake ? "wake " : "- ";
        }
    }
    if (!trace.empty()) trace.pop_back();
    EXPECT_EQ(trace, GetParam().Trace);
}

const TScriptCase ScriptCases[] = {
    {"OneCallOneWake", "A t t", "wake run A none"},
    {"CallsRunInTheOrderPosted", "1 A 2 B 3 t t t t t", "wake - - - - run 1 + run A + run 2 + run B + run 3"},
    {"ACallPostedAgainWhileWaitingRunsOnceWhereItWas", "A 1 A A t t t", "wake - - - run A + run 1 none"},
    {"ACallTakenCanBePostedAgainAndGoesLast", "A 1 t A t t", "wake - run A + - run 1 + run A"},
    {"AWakeOwedIsNotAskedForTwice", "1 2 3 t 4 t t t", "wake - - run 1 + - run 2 + run 3 + run 4"},
    {"AnEmptiedQueueAsksForTheNextWake", "A t B t 1 t", "wake run A wake run B wake run 1"},
    {"ATakeOfNothingSpendsTheWake", "t A t", "none wake run A"},
};

INSTANTIATE_TEST_SUITE_P(Scripts, GuiCallQueueScript, ::testing::ValuesIn(ScriptCases),
                         [](const auto& test) { return std::string(test.param.Name); });

// A call still waiting when the queue goes never runs, and the queue's hold
// on it goes too: its owner is freed.
TEST(GuiCallQueue, LetsGoOfWaitingCallsWithoutRunningThem) {
    std::string trace;
    std::weak_ptr<TGuiCall> watched;
    {
        TGuiCallQueue queue;
        auto call = std::make_shared<TNamedCall>('A', trace);
        watched = call;
        queue.Push(std::move(call));
        queue.Push([&trace] { trace += "one-off"; });
        EXPECT_FALSE(watched.expired()) << "the queue holds what waits";
        EXPECT_EQ(queue.Size(), 2u);
    }
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(trace, "");
}

}  // namespace
}  // namespace lumidra::hid
