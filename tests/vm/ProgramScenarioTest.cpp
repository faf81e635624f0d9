// The whole program on a real kernel: the main window with the Linux platform
// and the program's Qt GUI thread, against uhid virtual boards, asserting on
// what each board received (64 bytes a report: the report-ID byte 0 does not
// travel, so StateReport byte n arrives at index n - 1). Runs in the VM as an
// ordinary user with udevd; skips where the kernel has no uhid.
#include "app/AppState.h"
#include "app/QtGuiThread.h"
#include "app/Unit1.h"
#include "hid/linux/LinuxHidPlatform.h"
#include "protocol/ProtocolState.h"
#include "desktop/Widgets.h"
#include "tests/desktop/ScriptedSeams.h"
#include "tests/vm/support/BoardProcess.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lumidra::vmtest {
namespace {

using namespace std::chrono_literals;
using app::BoardAttached;
using protocol::AttachedDevice;

const QString DetachedText = QStringLiteral("Устройство отключено.");
const QString AttachedText = QStringLiteral("Устройство подключено:");
constexpr int WaitMs = 10000;

// What a board receives for a StateReport with this command byte (byte 4)
// and nothing else set: attach sends it with 1, the close with 2.
Bytes StateOnWire(std::uint8_t command) {
    Bytes wire(64, 0);
    wire[3] = command;
    return wire;
}
const Bytes LightOn = StateOnWire(protocol::CommandLightOn);
const Bytes HostLeaves = StateOnWire(protocol::CommandHostLeaves);

// Descriptors of this process open on `node`.
int OpenOn(const std::string& node) {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d)) {
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + e->d_name;
            if (::readlink(link.c_str(), target, sizeof target - 1) > 0 && node == target) ++n;
        }
        ::closedir(d);
    }
    return n;
}

class ProgramOnKernel : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UhidAvailable()) GTEST_SKIP() << "no /dev/uhid: runs inside the VM only";
        protocol::ResetProtocolState();
        app::ResetAppState();
        protocol::KeyBaseSaved = true;
    }
    void TearDown() override {
        Form.reset();
        protocol::ResetProtocolState();
        app::ResetAppState();
    }

    void Start() {
        Form = std::make_unique<app::TForm1>(Platform, Gui);
        Form->show();
    }

    // Waits until the board has received `expected.size()` reports, turns the
    // loop a while longer so that any report too many would show, then
    // compares everything it received.
    void ExpectReceived(const TBoardProcess& board, const std::vector<Bytes>& expected, const char* when) {
        EXPECT_TRUE(board.WaitOutputs(expected.size(), 5s)) << when;
        QTest::qWait(200);
        EXPECT_EQ(board.Outputs(), expected) << when;
    }

    // Sends `command` to the board every 100 ms until `done` holds: a report
    // the board sends before the reader has its node open is dropped by the
    // kernel, so the first ones may never arrive.
    template <class Predicate>
    bool RepeatUntil(TBoardProcess& board, const std::string& command, Predicate done) {
        for (int i = 0; i < 100; ++i) {
            board.Command(command);
            if (QTest::qWaitFor(done, 100)) return true;
        }
        return false;
    }

    QStringList MemoLines() const { return Form->MemoKey->toPlainText().split(QLatin1Char('\n')); }

    testing::ScriptedSeams Seams;
    hid::LinuxHidPlatform Platform;
    app::QtGuiThread Gui;
    std::unique_ptr<app::TForm1> Form;
};

// The board's road through one run: attached at start beside a decoy with
// another serial, unplugged, plugged in again, told that the host leaves.
TEST_F(ProgramOnKernel, BoardPresentAtStartIsAttachedLostRegainedAndToldWhenTheWindowCloses) {
    TBoardProcess decoy({.Serial = "01.02", .ExtraArguments = {}});
    TBoardProcess board({.ExtraArguments = {"--name", "Demo Board"}});
    ASSERT_FALSE(decoy.WaitNode().empty());
    ASSERT_FALSE(board.WaitNode().empty());

    Start();
    EXPECT_EQ(Form->Label1->text(), DetachedText) << "shown detached before the first device change";
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
    EXPECT_EQ(Form->Label1->text(), AttachedText);
    // No string 1 on a board that is not on USB: the ID part stays empty.
    EXPECT_EQ(Form->Label2->text(), QStringLiteral("Demo Board, VID=C04E, PID=2014, Ver=01.01, ID="));
    ExpectReceived(board, {LightOn, LightOn}, "attach: twice, and no contrast command");

    board.Command("unplug");
    ASSERT_TRUE(board.WaitUnplugged());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->Label1->text() == DetachedText; }, WaitMs));
    EXPECT_FALSE(BoardAttached);
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_FALSE(Form->CheckLight->isEnabled());
    EXPECT_TRUE(Form->Label2->text().isEmpty());

    board.Command("plug");
    ASSERT_FALSE(board.WaitNode().empty());
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
    EXPECT_NE(AttachedDevice, nullptr);
    ExpectReceived(board, {LightOn, LightOn, LightOn, LightOn}, "re-attach: the state report afresh");

    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Seams.Boxes.empty()) << "nothing unsaved, nothing asked";
    EXPECT_EQ(Seams.Pauses, (std::vector<std::chrono::milliseconds>{50ms}));
    ExpectReceived(board, {LightOn, LightOn, LightOn, LightOn, HostLeaves}, "close: once, command 2");
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(OpenOn(board.Node()), 0) << "the board is handed back with the close";

    EXPECT_TRUE(decoy.Outputs().empty()) << "the decoy is never written to";
}

// Input reports through the real reader: the status display and a key read,
// which lands in the key base once however often the board repeats it.
TEST_F(ProgramOnKernel, StatusAndKeyReportsReachTheWindowAndTheKeyBase) {
    TBoardProcess board;
    ASSERT_FALSE(board.WaitNode().empty());
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));

    // Channel 1 full scale, channel 2 at half, inputs 2 and 4 on, a key held;
    // the identifier as it is shown (its first byte travels at index 15).
    const std::string key = "0123456789ABCDEF";
    const QString keyId = QString::fromStdString(key);
    ASSERT_TRUE(RepeatUntil(board, "status a1=1023 a2=512 in=0x0A key=1 id=" + key,
                            [&] { return MemoLines().contains(keyId); }))
        << "no key reached the key base";
    // The board goes on repeating the same key: a handful more arrive.
    for (int i = 0; i < 5; ++i) board.Command("status a1=1023 a2=512 in=0x0A key=1 id=" + key);
    QTest::qWait(300);

    EXPECT_EQ(MemoLines().count(keyId), 1) << "a key already in the base is not added again";
    EXPECT_EQ(Seams.KeySounds.size(), 1u) << "a held key sounds once";
    EXPECT_FALSE(protocol::KeyBaseSaved);
    EXPECT_EQ(Form->Key->text(), QStringLiteral(" 01 23 45 67 89 AB CD EF"));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("Ключ удерживается"));
    EXPECT_EQ(Form->Bar1->value(), 1023);
    EXPECT_EQ(Form->Bar2->value(), 512);
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    EXPECT_EQ(Form->Label6->text(), QStringLiteral("Канал 2 : 50%"));
    EXPECT_EQ(Form->Label7->text(), QStringLiteral(" Off "));
    EXPECT_EQ(Form->Label8->text(), QStringLiteral(" ON  "));
    EXPECT_EQ(Form->Label9->text(), QStringLiteral(" Off "));
    EXPECT_EQ(Form->Label10->text(), QStringLiteral(" ON  "));
    ExpectReceived(board, {LightOn, LightOn}, "reading sends nothing");

    // The key read left the key base unsaved: the close asks first.
    Seams.BoxAnswers = {desktop::TMsgResult::Ok};
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(Seams.Boxes.size(), 1u);
    ExpectReceived(board, {LightOn, LightOn, HostLeaves}, "close");
}

// Plugged in while the window runs (the udev monitor's news), then unplugged
// while it streams status reports as fast as the kernel takes them: the
// reports still queued meet a device that is gone, and the window ends up
// detached with nothing else sent.
TEST_F(ProgramOnKernel, PluggedWhileRunningAndUnpluggedWhileStreaming) {
    TBoardProcess decoy({.Serial = "01.02", .ExtraArguments = {}});
    ASSERT_FALSE(decoy.WaitNode().empty());
    Start();
    QTest::qWait(500);
    EXPECT_FALSE(BoardAttached) << "a decoy is not the board";

    TBoardProcess board;
    ASSERT_FALSE(board.WaitNode().empty());
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
    // Channel 1 at 512, inputs 1 and 3 on.
    ASSERT_TRUE(RepeatUntil(board, "stream 00 02 00 00 05", [&] { return Form->Bar1->value() == 512; }));
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 50%"));
    EXPECT_EQ(Form->Label7->text(), QStringLiteral(" ON  "));
    EXPECT_EQ(Form->Label9->text(), QStringLiteral(" ON  "));

    const std::string node = board.Node();
    board.Command("unplug");
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->Label1->text() == DetachedText; }, WaitMs));
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(Form->Bar1->value(), 0);
    EXPECT_EQ(Form->Label7->text(), QStringLiteral(" Off "));
    EXPECT_EQ(OpenOn(node), 0);

    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Seams.Pauses.empty()) << "closing detached: no report, no pause";
    ExpectReceived(board, {LightOn, LightOn}, "attach only");
    EXPECT_TRUE(decoy.Outputs().empty());
}

// The board model over uhid (--model): it reports at its own rate, so the
// window shows what the model is told without any input report being asked
// for, and its state file tells what the window sent it.
TEST_F(ProgramOnKernel, ModelBoardReportsByItselfAndKeepsWhatTheHostSent) {
    TBoardProcess board({.ExtraArguments = {"--model"}});
    ASSERT_FALSE(board.WaitNode().empty());
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
    board.Command("channel 1 1023");
    board.Command("inputs 0x0A");
    board.Command("key 0123456789ABCDEF");
    ASSERT_TRUE(QTest::qWaitFor([&] { return MemoLines().contains(QStringLiteral("0123456789ABCDEF")); }, WaitMs));
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    EXPECT_EQ(Form->Label8->text(), QStringLiteral(" ON  "));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("Ключ удерживается"));

    Seams.BoxAnswers = {desktop::TMsgResult::Ok};  // the key base is unsaved
    EXPECT_TRUE(Form->close());
    ExpectReceived(board, {LightOn, LightOn, HostLeaves}, "attach and close");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("board.txt"));
    board.Command("save " + path.toStdString());
    QString state;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) state = QString::fromUtf8(file.readAll());
        return state.contains(QStringLiteral("violations "));
    }, WaitMs));
    for (const char* line : {"backlight on\n", "host left\n", "job idle\n", "violations 0\n"})
        EXPECT_TRUE(state.contains(QLatin1String(line))) << line << state.toStdString();
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".pbm")));
}

// The program itself, ended by the system: each closing signal is a close,
// so the board gets its closing report and the program exits with 0.
class ProgramEndedBySignal : public ::testing::TestWithParam<int> {};

TEST_P(ProgramEndedBySignal, TellsTheBoardTheHostLeavesAndExitsCleanly) {
    if (!UhidAvailable()) GTEST_SKIP() << "no /dev/uhid: runs inside the VM only";
    TBoardProcess board;
    ASSERT_FALSE(board.WaitNode().empty());
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(LUMIDRA_PROGRAM_PATH), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(board.WaitOutputs(2, 10s)) << "the program never attached";
    ::kill(static_cast<pid_t>(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(10000)) << "still running after the signal";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(board.Outputs(), (std::vector<Bytes>{LightOn, LightOn, HostLeaves}));
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramEndedBySignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "SIGTERM"
                                                : info.param == SIGINT ? "SIGINT"
                                                                       : "SIGHUP");
                         });

}  // namespace
}  // namespace lumidra::vmtest
