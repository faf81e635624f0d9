// The real window against the board model on the virtual bus: attach, status
// reports, a key, a replug and the close, with the model's view of each.
#include "tests/app/MainWindowFixture.h"

namespace lumidra::testing {
namespace {

class WindowOnModel : public MainWindowModelTest {};

TEST_F(WindowOnModel, AttachTurnsTheBacklightOnAndStatusReportsAreShown) {
    StartWithModel();
    EXPECT_TRUE(Board->Model().Lcd().Backlight);
    EXPECT_EQ(Board->Written(), (TWire{Report({0, 0, 0, 1}), Report({0, 0, 0, 1})}));

    auto& model = Board->Model();
    model.SetChannel(1, 1023);
    model.SetChannel(2, 512);
    model.SetInputs(0x0A);
    model.PresentKey({0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01});
    ASSERT_TRUE(StepShown());
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    EXPECT_EQ(Form->Label6->text(), QStringLiteral("Канал 2 : 50%"));
    EXPECT_EQ(Form->Label8->text(), QStringLiteral(" ON  "));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("Ключ удерживается"));
    EXPECT_EQ(Form->MemoKey->toPlainText(), QStringLiteral("EFCDAB8967452301\n"));

    model.RemoveKey();
    ASSERT_TRUE(StepShown());
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("    Ключ не активен"));
    EXPECT_TRUE(Board->RunJob()) << "no job was requested";
    ExpectNoViolations();
}

TEST_F(WindowOnModel, ReplugAttachesAgainAndCloseTellsTheBoardTheHostLeaves) {
    StartWithModel();
    const std::size_t before = Scans();
    Board->Unplug();
    WaitForScanAfter(before);
    EXPECT_FALSE(app::BoardAttached);

    const std::size_t reads = Bus.CallCount("ReadFileEx");
    Board->Replug();
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Bus.CallCount("ReadFileEx") > reads; }, 5000));
    EXPECT_TRUE(Board->Model().Lcd().Backlight) << "the new attach turned it on again";
    ASSERT_TRUE(Board->Step());

    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Board->Model().HostLeft());
    ExpectNoViolations();
}

}  // namespace
}  // namespace lumidra::testing
