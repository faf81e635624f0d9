// Input reports of the attached board, fed to the virtual bus and delivered
// by the reader to the window's handler: the status group, the reports a
// waiting job holds back, and the key sound.
#include "tests/app/MainWindowFixture.h"

#include "desktop/FramePacer.h"
#include "desktop/Widgets.h"

#include <QDir>
#include <QMetaObject>

#include <memory>

namespace lumidra::testing {
namespace {

using protocol::InputReport;

const QColor On{0, 255, 0};
const QColor Off{192, 220, 192};
constexpr std::array<std::uint8_t, 8> ExampleKey{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
const QString ExampleKeyText = QStringLiteral(" EF CD AB 89 67 45 23 01");
const QString ExampleKeyId = QStringLiteral("EFCDAB8967452301");

class InputReports : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Board = StartAttached();
        SentAtAttach = Bus.Written(Board).size();
    }

    void ExpectInputs(bool in1, bool in2, bool in3, bool in4) const {
        QLabel* labels[] = {Form->Label7, Form->Label8, Form->Label9, Form->Label10};
        const bool on[] = {in1, in2, in3, in4};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(labels[i]->text(), on[i] ? QStringLiteral(" ON  ") : QStringLiteral(" Off "))
                << "input " << i + 1;
            EXPECT_EQ(desktop::Background(*labels[i]), on[i] ? On : Off) << "input " << i + 1;
        }
    }

    // The status group as the attach left it.
    void ExpectIdle() const {
        EXPECT_EQ(Form->Bar1->value(), 0);
        EXPECT_EQ(Form->Bar2->value(), 0);
        EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 0%"));
        EXPECT_EQ(Form->Label6->text(), QStringLiteral("Канал 2 : 0%"));
        ExpectInputs(false, false, false, false);
        EXPECT_EQ(Form->Key->text(), QStringLiteral(" no key"));
        EXPECT_EQ(Form->Key_status->text(), QStringLiteral("    Ключ не активен"));
        EXPECT_TRUE(Form->MemoKey->toPlainText().isEmpty());
    }

    // The status decode never writes to the board.
    void ExpectNothingSent() const { EXPECT_EQ(Bus.Written(Board).size(), SentAtAttach); }

    // The key timer's 2 s are up.
    void KeyTimerElapses() {
        ASSERT_TRUE(Form->KeyTimer->isActive());
        ASSERT_TRUE(QMetaObject::invokeMethod(Form->KeyTimer, "timeout"));
    }

    int Board = 0;
    std::size_t SentAtAttach = 0;
};

TEST_F(InputReports, ChannelsSetBarsAndPercentages) {
    Deliver(Board, Status(0x03FF, 0x0200));  // bytes 255, 3 and 0, 2
    EXPECT_EQ(Form->Bar1->value(), 1023);
    EXPECT_EQ(Form->Bar1->value(), Form->Bar1->maximum()) << "a full bar";
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    EXPECT_EQ(Form->Bar2->value(), 512);
    EXPECT_EQ(Form->Label6->text(), QStringLiteral("Канал 2 : 50%"));

    // Past full scale: still a full bar, not the last value kept.
    Deliver(Board, Status(1022, 2046));
    EXPECT_EQ(Form->Bar1->value(), 1022);
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 99%"));
    EXPECT_EQ(Form->Bar2->value(), 1023);
    EXPECT_EQ(Form->Label6->text(), QStringLiteral("Канал 2 : 200%"));
    ExpectNothingSent();
}

TEST_F(InputReports, InputBitsTurnTheirLabelsOnAndOff) {
    Deliver(Board, Status(0, 0, 0x0A));
    ExpectInputs(false, true, false, true);
    Deliver(Board, Status(0, 0, 0x05));
    ExpectInputs(true, false, true, false);
    Deliver(Board, Status(0, 0, 0xF0));  // bits 4 to 7 are not shown
    ExpectInputs(false, false, false, false);
    ExpectNothingSent();
}

TEST_F(InputReports, HeldKeyIsShownAndAddedToTheKeyBaseOnce) {
    ASSERT_TRUE(protocol::KeyBaseSaved);
    Deliver(Board, Status(0, 0, 0, 1, ExampleKey));
    EXPECT_EQ(Form->Key->text(), ExampleKeyText);
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("Ключ удерживается"));
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n");
    EXPECT_FALSE(protocol::KeyBaseSaved) << "the append changed the memo";

    Deliver(Board, Status(0, 0, 0, 1, ExampleKey));
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n") << "held: added once";

    // Another key goes on the next line, index 15 first.
    Deliver(Board, Status(0, 0, 0, 1, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18}));
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n1807F6E5D4C3B2A1\n");

    // The operator empties the memo while the key is still held.
    Form->MemoKey->clear();
    Deliver(Board, Status(0, 0, 0, 1, {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18}));
    EXPECT_EQ(Form->MemoKey->toPlainText(), QStringLiteral("1807F6E5D4C3B2A1\n")) << "looked for again";
    ExpectNothingSent();
}

TEST_F(InputReports, KeyStatusTextsAndValuesThatChangeNothing) {
    Deliver(Board, Status(0, 0, 0, 1, ExampleKey));
    // Read: the status text changes, the key stays.
    Deliver(Board, Status(0, 0, 0, 2, {9, 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(Form->Key->text(), ExampleKeyText);
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("        Ключ прочитан"));
    // 3: neither text changes, though the channels do.
    Deliver(Board, Status(100, 0, 0, 3, {9, 9, 9, 9, 9, 9, 9, 9}));
    EXPECT_EQ(Form->Key->text(), ExampleKeyText);
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("        Ключ прочитан"));
    EXPECT_EQ(Form->Bar1->value(), 100);
    // Read errors and no key.
    Deliver(Board, Status(0, 0, 0, 8));
    EXPECT_EQ(Form->Key->text(), QStringLiteral(" no key"));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("        Ошибка чтения"));
    Deliver(Board, Status(0, 0, 0, 1, ExampleKey));
    Deliver(Board, Status(0, 0, 0, 0));
    EXPECT_EQ(Form->Key->text(), QStringLiteral(" no key"));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("    Ключ не активен"));
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n") << "only status 1 reaches the key base";
}

TEST_F(InputReports, AJobWaitingForItsAcknowledgementHoldsTheStatusStill) {
    protocol::LcdCommandPending = true;
    Deliver(Board, Status(0x03FF, 0x0200, 0x0F, 1, ExampleKey));
    ExpectIdle();
    EXPECT_TRUE(protocol::KeyBaseSaved) << "no key reached the key base";
    EXPECT_TRUE(Seams.KeySounds.empty());
    ExpectNothingSent();
}

TEST_F(InputReports, AFlashReadNotYetAcknowledgedLetsStatusThrough) {
    protocol::FlashReadPending = true;
    Deliver(Board, Status(0x03FF, 0, 0x01));
    EXPECT_EQ(Form->Bar1->value(), 1023);
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    ExpectInputs(true, false, false, false);
}

// An acknowledgement that no dump request asked for starts nothing: it is
// neither shown as status nor taken as the start of a dump.
TEST_F(InputReports, AnAcknowledgementNobodyAskedForIsDropped) {
    Deliver(Board, Status(0x03FF, 0x0200, 0x0F, 1, ExampleKey, 1));
    ExpectIdle();
    EXPECT_FALSE(protocol::JobActive);
    EXPECT_EQ(protocol::DumpOffset, 0);
    ExpectNothingSent();

    // The reset forgets a dump request, like the job flags.
    protocol::DumpRequested = true;
    const std::size_t scans = Scans();
    Bus.Unplug(Board);
    WaitForScanAfter(scans);
    EXPECT_FALSE(app::BoardAttached);
    EXPECT_FALSE(protocol::DumpRequested);
}

// A report shorter than 64 bytes (a device with the board's identity but a
// smaller report) is read as if zero-padded, never past what arrived.
using ShortInputReports = MainWindowTest;

TEST_F(ShortInputReports, ReadAsZeroPadded) {
    hid::TVirtualBoard small;
    small.InputReportByteLength = 9;  // report ID and 8 bytes: no key bytes
    const int board = StartAttached(small);
    Deliver(board, std::vector<std::uint8_t>{0xFF, 0x03, 0x00, 0x02, 0x0A, 0x01, 0x00, 0x00});
    EXPECT_EQ(Form->Bar1->value(), 1023);
    EXPECT_EQ(Form->Bar2->value(), 512);
    EXPECT_EQ(Form->Label8->text(), QStringLiteral(" ON  "));
    EXPECT_EQ(Form->Key->text(), QStringLiteral(" 00 00 00 00 00 00 00 00"));
    EXPECT_EQ(Form->MemoKey->toPlainText(), QStringLiteral("0000000000000000\n"));
}

// A held key sounds once; it sounds again only after the board has reported
// the key read and the timer's 2 s are up, in either order.
TEST_F(InputReports, KeySoundOncePerPresentation) {
    protocol::StartFolder = QDir::tempPath() + QStringLiteral("/lumidra start");
    const QString sound = QDir::toNativeSeparators(protocol::StartFolder + QStringLiteral("/keytry.wav"));
    EXPECT_EQ(Form->KeyTimer->interval(), 2000);
    EXPECT_TRUE(Form->KeyTimer->isSingleShot());
    const InputReport held = Status(0, 0, 0, 1, ExampleKey);
    const InputReport read = Status(0, 0, 0, 2, ExampleKey);

    Deliver(Board, held);
    EXPECT_EQ(Seams.KeySounds, std::vector<QString>{sound});
    EXPECT_TRUE(Form->KeyTimer->isActive());
    EXPECT_FALSE(protocol::KeySoundArmed);
    Deliver(Board, held);
    Deliver(Board, held);
    EXPECT_EQ(Seams.KeySounds.size(), 1u) << "held: once";

    // Read, presented again within 2 s: silent.
    Deliver(Board, read);
    EXPECT_TRUE(protocol::KeySoundArmed);
    Deliver(Board, held);
    EXPECT_EQ(Seams.KeySounds.size(), 1u);
    KeyTimerElapses();
    EXPECT_FALSE(Form->KeyTimer->isActive()) << "the timer runs once";
    Deliver(Board, held);
    EXPECT_EQ(Seams.KeySounds.size(), 2u) << "read and 2 s later: sounds again";

    // 2 s up, but never read: silent.
    KeyTimerElapses();
    Deliver(Board, held);
    EXPECT_EQ(Seams.KeySounds.size(), 2u);
    // Read after the 2 s: sounds at the next presentation.
    Deliver(Board, read);
    Deliver(Board, Status(0, 0, 0, 0));
    Deliver(Board, held);
    EXPECT_EQ(Seams.KeySounds, (std::vector<QString>{sound, sound, sound}));
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n");
}

// The texts a label showed in its paints.
class PaintedTexts final : public QObject {
public:
    explicit PaintedTexts(QLabel& label) : label_(label) { label.installEventFilter(this); }
    std::vector<QString> Texts;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) Texts.push_back(label_.text());
        return false;
    }

private:
    QLabel& label_;
};

// A burst faster than the screen: the window shows the last report's meaning
// once the frame is out, and a key presented for one report in the middle
// was painted and sounded once.
TEST_F(InputReports, ABurstShowsItsLastReportAndAKeyOfOneReport) {
    PaintedTexts keyPaints(*Form->Key);
    std::vector<InputReport> burst{Status(5, 5), Status(6, 6, 0, 1, ExampleKey)};
    for (int i = 0; i < 30; ++i) burst.push_back(Status(i, 2 * i, static_cast<std::uint8_t>(i % 16)));
    burst.push_back(Status(0x03FF, 0x0200, 0x05, 2));
    const std::size_t reads = Bus.CallCount("ReadFileEx");
    for (const InputReport& report : burst)
        Bus.Feed(Board, AsRead(std::vector<std::uint8_t>(report.begin(), report.end())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Bus.CallCount("ReadFileEx") >= reads + burst.size(); }, 5000));

    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->Bar1->value() == 1023; }, 5000)) << "the frame after the burst";
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    EXPECT_EQ(Form->Bar2->value(), 512);
    EXPECT_EQ(Form->Label6->text(), QStringLiteral("Канал 2 : 50%"));
    ExpectInputs(true, false, true, false);
    EXPECT_EQ(Form->Key->text(), QStringLiteral(" no key")) << "the read leaves the key text as the last report before";
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("        Ключ прочитан"));
    EXPECT_NE(std::find(keyPaints.Texts.begin(), keyPaints.Texts.end(), ExampleKeyText), keyPaints.Texts.end());
    EXPECT_EQ(Seams.KeySounds.size(), 1u);
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n");
    ExpectNothingSent();
}

// A key presented for one report, and the report after it, within the same
// frame, brings back everything shown: the frame after shows the key with its
// own report's channels, the frame after that what is shown again.
TEST_F(InputReports, AKeyOfOneReportIsShownByTheNextFrameWhenTheReportAfterItChangesNothing) {
    auto* const pacer = Form->findChild<desktop::TFramePacer*>();
    ASSERT_NE(pacer, nullptr);
    // The window outlives the test's body: the clock goes with it.
    const auto now = std::make_shared<qint64>(0);
    pacer->SetClock([now] { return *now; });
    pacer->RequestFrame();  // a frame now: the reports below come within it
    PaintedTexts keyPaints(*Form->Key);
    const auto frameOver = [&] {
        *now += desktop::TFramePacer::FrameMs * 2;
        pacer->RequestFrame();  // as the first report after the frame asks for it
    };

    Handle(Board, Status(100, 0, 0, 1, ExampleKey));
    Handle(Board, Status(0, 0, 0, 0));
    EXPECT_TRUE(keyPaints.Texts.empty()) << "within the frame of the last paint";
    frameOver();
    EXPECT_EQ(Form->Key->text(), ExampleKeyText);
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("Ключ удерживается"));
    EXPECT_EQ(Form->Bar1->value(), 100) << "the key's own report";
    ASSERT_FALSE(keyPaints.Texts.empty()) << "the key's frame paints it";
    EXPECT_EQ(keyPaints.Texts.back(), ExampleKeyText);
    EXPECT_TRUE(pacer->FrameArmed()) << "the report after the key waits for the next frame";

    frameOver();
    EXPECT_EQ(Form->Key->text(), QStringLiteral(" no key"));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("    Ключ не активен"));
    EXPECT_EQ(Form->Bar1->value(), 0);
    EXPECT_EQ(Form->MemoKey->toPlainText(), ExampleKeyId + "\n");
    EXPECT_EQ(keyPaints.Texts.back(), QStringLiteral(" no key"));
    EXPECT_EQ(Seams.KeySounds.size(), 1u);
    ExpectNothingSent();
}

}  // namespace
}  // namespace lumidra::testing
