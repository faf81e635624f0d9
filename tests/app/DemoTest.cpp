// The demo mode: the real window on the demo board, and what surrounds the
// demo board over a minute.
#include "app/session/Demo.h"
#include "tests/app/MainWindowFixture.h"

#include <QRegularExpression>

#include <bit>

#include <cstdlib>

namespace lumidra::testing {
namespace {

class DemoMode : public MainWindowTest {
protected:
    void TearDown() override {
        Form.reset();  // before the bus it runs on
        Demo.reset();
        MainWindowTest::TearDown();
    }
    std::unique_ptr<app::TDemoBoard> Demo = std::make_unique<app::TDemoBoard>();
};

TEST_F(DemoMode, TheWindowAttachesToTheDemoBoardAndShowsItsStatus) {
    Form = std::make_unique<app::TForm1>(Demo->Platform(), Gui);
    Form->show();
    Demo->Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    EXPECT_TRUE(Demo->Model().Lcd().Backlight);
    // The first status reports show the channel the board reports.
    const QRegularExpression channel(QStringLiteral("^Канал 1 : (\\d+)%$"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->Label5->text() != QStringLiteral("Канал 1 : 0%"); }, 5000))
        << Form->Label5->text().toStdString();
    const auto match = channel.match(Form->Label5->text());
    ASSERT_TRUE(match.hasMatch()) << Form->Label5->text().toStdString();
    const int shown = match.captured(1).toInt();
    const int board = Demo->Model().Inputs().Analog1 * 100 / 1023;
    EXPECT_LE(std::abs(shown - board), 3) << "the channel drifts slowly";
    EXPECT_TRUE(Form->Key_status->text().contains(QStringLiteral("Ключ"))) << "the key reader's status is shown";
    EXPECT_EQ(Demo->Model().Violations(), std::vector<std::string>{});
}

TEST(DemoSurroundings, DriftSlowlyWithinRangeAndPresentAKeyEveryFewSeconds) {
    using std::chrono::milliseconds;
    auto last = app::DemoSurroundings(milliseconds(0));
    int presented = 0;
    int inputChanges = 0;
    for (int ms = 100; ms <= 60000; ms += 100) {
        const auto now = app::DemoSurroundings(milliseconds(ms));
        ASSERT_LE(now.Channel1, 1023);
        ASSERT_LE(now.Channel2, 1023);
        ASSERT_LE(std::abs(now.Channel1 - last.Channel1), 15) << ms;
        ASSERT_LE(std::abs(now.Channel2 - last.Channel2), 15) << ms;
        if (now.KeyStatus == 1 && last.KeyStatus != 1) ++presented;
        if (now.Inputs != last.Inputs) {
            ++inputChanges;
            EXPECT_EQ(std::popcount(static_cast<unsigned>(now.Inputs ^ last.Inputs)), 1) << "one input at a time";
        }
        last = now;
    }
    EXPECT_EQ(presented, 10);  // the first at 0 ms, then every 6 s
    EXPECT_EQ(inputChanges, 20);
    EXPECT_NE(app::DemoSurroundings(milliseconds(0)).KeyId, app::DemoSurroundings(milliseconds(6000)).KeyId);
}

}  // namespace
}  // namespace lumidra::testing
