// The whole program on a real kernel: the main window with the Linux platform
// and the program's Qt GUI thread, against virtual boards, asserting on what
// each board received (64 bytes a report: the report-ID byte 0 does not
// travel, so StateReport byte n arrives at index n - 1). Runs in the VM as an
// ordinary user with udevd; skips where the kernel has no uhid.
//
// The board under test is a uhid device, or with LUMIDRA_VM_BUS=gadget a USB
// device on the VM's software bus (the configfs HID gadget that usbhid
// enumerates); decoys stay uhid devices beside it.
#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/session/SignalClose.h"
#include "app/Unit1.h"
#include "hid/linux/LinuxHidPlatform.h"
#include "protocol/JobCut.h"
#include "protocol/ProtocolState.h"
#include "desktop/Widgets.h"
#include "graphics/ImageTransfer.h"
#include "hid/HidDevice.h"
#include "hid/HidDeviceReadThread.h"
#include "tests/support/ScriptedSeams.h"
#include "tests/vm/support/BoardProcess.h"
#include "tools/virtual-board/BoardHex.h"
#include "transfers/Transfers.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <random>
#include <set>
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

// The bus of the board under test: "uhid" or "gadget".
std::string BoardBus() {
    const char* bus = std::getenv("LUMIDRA_VM_BUS");
    return bus != nullptr && *bus != '\0' ? bus : "uhid";
}

// The board under test, on its bus, with these arguments.
TBoardProcess::TOptions OnBus(std::vector<std::string> arguments = {}) {
    return {.ExtraArguments = std::move(arguments), .Bus = BoardBus()};
}

class ProgramOnKernel : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UhidAvailable()) GTEST_SKIP() << "no /dev/uhid: runs inside the VM only";
        if (BoardBus() == "gadget" && !GadgetAvailable()) GTEST_SKIP() << "no USB gadget and device controller";
        app::ResetRunState();
    }
    void TearDown() override {
        Form.reset();
        app::ResetRunState();
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

    // The model board's state file (its `save` command), empty when none came.
    QString BoardState(TBoardProcess& board) {
        const QString path = Scratch.filePath(QStringLiteral("board-%1.txt").arg(++saves_));
        board.Command("save " + path.toStdString());
        QString state;
        const bool saved = QTest::qWaitFor(
            [&] {
                QFile file(path);
                if (file.open(QIODevice::ReadOnly)) state = QString::fromUtf8(file.readAll());
                return !state.isEmpty();
            },
            WaitMs);
        EXPECT_TRUE(saved) << "the board saved no state";
        return state;
    }

    QTemporaryDir Scratch;

    testing::ScriptedSeams Seams;
    hid::LinuxHidPlatform Platform;
    app::QtGuiThread Gui;
    std::unique_ptr<app::TForm1> Form;

private:
    int saves_ = 0;
};

// The board's road through one run: attached at start beside a decoy with
// another serial, unplugged, plugged in again, told that the host leaves.
TEST_F(ProgramOnKernel, BoardPresentAtStartIsAttachedLostRegainedAndToldWhenTheWindowCloses) {
    TBoardProcess decoy({.Serial = "01.02", .ExtraArguments = {}});
    TBoardProcess board(OnBus({"--name", "Demo Board"}));
    ASSERT_FALSE(decoy.WaitNode().empty());
    ASSERT_FALSE(board.WaitNode().empty());

    Start();
    EXPECT_EQ(Form->Label1->text(), DetachedText) << "shown detached before the first device change";
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
    EXPECT_EQ(Form->Label1->text(), AttachedText);
    // String 1 is the USB manufacturer: a board that is not on USB has none.
    const QString maker = BoardBus() == "gadget" ? QStringLiteral("Lumidra Lab") : QString();
    EXPECT_EQ(Form->Label2->text(), QStringLiteral("Demo Board, VID=C04E, PID=2014, Ver=01.01, ID=") + maker);
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
    TBoardProcess board(OnBus());
    ASSERT_FALSE(board.WaitNode().empty());
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));

    // Channel 1 full scale, channel 2 at half, inputs 2 and 4 on, a key held;
    // the identifier as it is shown (its first byte travels at index 15).
    const std::string key = "0123456789ABCDEF";
    const QString keyId = QString::fromStdString(key);
    ASSERT_TRUE(RepeatUntil(board, "status a1=1023 a2=512 in=0x0A key=1 id=" + key, [&] {
        return MemoLines().contains(keyId);
    })) << "no key reached the key base";
    // The board goes on repeating the same key: a handful more arrive.
    for (int i = 0; i < 5; ++i) board.Command("status a1=1023 a2=512 in=0x0A key=1 id=" + key);
    QTest::qWait(300);

    EXPECT_EQ(MemoLines().count(keyId), 1) << "a key already in the base is not added again";
    EXPECT_EQ(Seams.KeySounds.size(), 1u) << "a held key sounds once";
    EXPECT_FALSE(protocol::KeyBaseSaved);
    Form->ShowPendingStatus();  // the display follows the next frame
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

    TBoardProcess board(OnBus());
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
    TBoardProcess board(OnBus({"--model"}));
    ASSERT_FALSE(board.WaitNode().empty());
    Start();
    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
    board.Command("channel 1 1023");
    board.Command("inputs 0x0A");
    board.Command("key 0123456789ABCDEF");
    ASSERT_TRUE(QTest::qWaitFor([&] { return MemoLines().contains(QStringLiteral("0123456789ABCDEF")); }, WaitMs));
    Form->ShowPendingStatus();  // the display follows the next frame
    EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 100%"));
    EXPECT_EQ(Form->Label8->text(), QStringLiteral(" ON  "));
    EXPECT_EQ(Form->Key_status->text(), QStringLiteral("Ключ удерживается"));

    Seams.BoxAnswers = {desktop::TMsgResult::Ok};  // the key base is unsaved
    EXPECT_TRUE(Form->close());
    ExpectReceived(board, {LightOn, LightOn, HostLeaves}, "attach and close");

    const QString state = BoardState(board);
    for (const char* line : {"backlight on\n", "host left\n", "job idle\n", "violations 0\n"})
        EXPECT_TRUE(state.contains(QLatin1String(line))) << line << state.toStdString();
    EXPECT_TRUE(QFile::exists(Scratch.filePath(QStringLiteral("board-1.txt.pbm"))));
}

// ---- the plug storm ---------------------------------------------------------

// Open descriptors and resident memory of this process, where the window runs.
int OpenDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n - 1;  // the listing's own
}

// Resident memory once the allocator has given back what it holds free:
// freed heap kept for reuse, and its fragments, are not memory the program
// keeps (the heap in use is printed beside it).
long ResidentKiB() {
    ::malloc_trim(0);
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

long HeapInUseKiB() {
    return static_cast<long>(::mallinfo2().uordblks / 1024);
}

unsigned long EnvNumber(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

// The bytes of a model state file's lines that start with `key`, in order
// ("flash 00 01 ..."; "memory 0FC0 10 11 ...", whose address word goes).
Bytes StateBytes(const QString& state, const QString& key) {
    Bytes bytes;
    for (const QString& line : state.split(QLatin1Char('\n'))) {
        QStringList words = line.split(QLatin1Char(' '));
        if (words.size() < 2 || words.takeFirst() != key) continue;
        if (key == QLatin1String("memory")) words.removeFirst();
        const auto parsed = vboard::ParseHex(words.join(QLatin1Char(' ')).toStdString());
        if (parsed) bytes.insert(bytes.end(), parsed->begin(), parsed->end());
    }
    return bytes;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What is under way when the cable goes.
enum class TStormJob { None, Dump, Splash, FlashRead };

class ProgramInAPlugStorm : public ProgramOnKernel {
protected:
    // The window holds the board behind `board`'s node.
    static bool Holds(const TBoardProcess& board) {
        return AttachedDevice != nullptr && AttachedDevice->PnPInfo() != nullptr &&
               AttachedDevice->PnPInfo()->InterfacePath == board.Node();
    }
    // Pulls `board`'s cable and turns the loop until the board is gone.
    static bool Pull(TBoardProcess& board) {
        board.Command("unplug");
        return QTest::qWaitFor([&] { return board.WaitUnplugged(0ms); }, WaitMs);
    }
};

// The model board plugged and unplugged a thousand times (LUMIDRA_STORM_CYCLES)
// at random moments (LUMIDRA_STORM_SEED repeats a run) while it sends its
// status reports; in a third of the cycles a dump, the splash box or a
// Flash-ROM read's end message is under way when the cable goes. In a tenth
// of them a second board with the board's identity comes with it, and a decoy
// stays beside them all along. Afterwards the window still attaches and dumps
// the board's memory byte for byte, its descriptors and memory are back where
// they were after the first ten cycles, and neither board saw the protocol
// broken.
TEST_F(ProgramInAPlugStorm, ThousandPlugsWithJobsCutShortLoseNothing) {
    const int cycles = static_cast<int>(EnvNumber("LUMIDRA_STORM_CYCLES", 1000));
    const auto seed = static_cast<unsigned>(EnvNumber("LUMIDRA_STORM_SEED", std::random_device{}()));
    std::printf("storm: %d cycles, seed %u (LUMIDRA_STORM_SEED=%u repeats them)\n", cycles, seed, seed);
    ASSERT_GE(cycles, 10);
    std::mt19937 random(seed);
    const auto upTo = [&](unsigned most) { return static_cast<int>(random() % (most + 1)); };

    TBoardProcess decoy({.Serial = "01.02", .ExtraArguments = {}});
    TBoardProcess model({.ExtraArguments = {"--model"}});
    TBoardProcess twin({.ExtraArguments = {"--model"}});
    for (TBoardProcess* board : {&decoy, &model, &twin}) ASSERT_FALSE(board->WaitNode().empty());
    for (TBoardProcess* board : {&model, &twin}) {
        board->Command("unplug");
        ASSERT_TRUE(board->WaitUnplugged());
    }
    Start();
    model.Command("channel 1 512");

    const QString dumpPath = Scratch.filePath(QStringLiteral("dump.bin"));
    const QString flashPath = Scratch.filePath(QStringLiteral("flash.bin"));
    // A job cut short by its board's unplug is told once: a dump as its file
    // not written, the splash (its box open) as the operation cut off.
    const QString cutText = QString::fromUtf8(protocol::TransferCutText);
    const QString jobCutText = QString::fromUtf8(protocol::JobCutUnpluggedText);
    const QString splashText = QString::fromUtf8(graphics::SplashShownText);
    const QString flashText = QString::fromUtf8(transfers::FlashReadDoneText);
    const auto detached = [] { return !BoardAttached && AttachedDevice == nullptr; };
    // What a failed wait prints: the window's job flags and what the board holds.
    const auto where = [&](TBoardProcess& board) {
        const auto outputs = board.Outputs();
        std::string text =
            "attached " + std::to_string(BoardAttached) + ", device " + std::to_string(AttachedDevice != nullptr) +
            ", flags job " + std::to_string(protocol::JobActive) + " flash " +
            std::to_string(protocol::FlashReadPending) + " dump " + std::to_string(protocol::DumpRequested) + " text " +
            std::to_string(protocol::LcdTextPending) + ", holds " +
            (AttachedDevice != nullptr && AttachedDevice->PnPInfo() != nullptr
                 ? AttachedDevice->PnPInfo()->InterfacePath
                 : std::string("-")) +
            ", board at " + board.Node() + ", outputs model " + std::to_string(model.Outputs().size()) + " twin " +
            std::to_string(twin.Outputs().size()) + " decoy " + std::to_string(decoy.Outputs().size()) + ", bar " +
            std::to_string(Form->Bar1->value());
        if (AttachedDevice != nullptr) {
            const auto* reader = AttachedDevice->Reader();
            text += std::string(", granted ") + std::to_string(AttachedDevice->ReadWriteGranted()) + ", present " +
                    std::to_string(AttachedDevice->Present()) + ", reader " + std::to_string(reader != nullptr);
            if (reader != nullptr)
                text += " finished " + std::to_string(reader->Finished()) + " in a handover " +
                        std::to_string(reader->SynchronizeRunning());
        }
        if (AttachedDevice != nullptr) {
            hid::THidCaps caps;
            AttachedDevice->QueryCaps(caps);
            text += ", input length " + std::to_string(caps.InputReportByteLength);
        }
        // Where each thread is, as the kernel sees it.
        text += "\nthreads:";
        if (DIR* d = ::opendir("/proc/self/task")) {
            while (dirent* e = ::readdir(d)) {
                if (e->d_name[0] == '.') continue;
                std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
                std::ifstream wchan(std::string("/proc/self/task/") + e->d_name + "/wchan");
                std::ifstream stat(std::string("/proc/self/task/") + e->d_name + "/stat");
                std::string name, waitingIn, st;
                std::getline(comm, name);
                std::getline(wchan, waitingIn);
                std::getline(stat, st);
                text += " [" + name + " " + waitingIn + " " + st.substr(st.find(')') + 2, 1) + "]";
            }
            ::closedir(d);
        }
        text += "\nfds:";
        if (DIR* d = ::opendir("/proc/self/fd")) {
            while (dirent* e = ::readdir(d)) {
                char target[256] = {};
                const std::string link = std::string("/proc/self/fd/") + e->d_name;
                if (::readlink(link.c_str(), target, sizeof target - 1) > 0 &&
                    std::string(target).find("hidraw") != std::string::npos)
                    text += std::string(" ") + target;
            }
            ::closedir(d);
        }
        struct stat st {};
        if (::stat(board.Node().c_str(), &st) == 0)
            text += "\nnode mode " + std::to_string(st.st_mode & 0777) + " gid " + std::to_string(st.st_gid) +
                    ", may open " + std::to_string(::access(board.Node().c_str(), R_OK | W_OK) == 0);
        text += "\nlast outputs:\n";
        for (std::size_t i = outputs.size() > 4 ? outputs.size() - 4 : 0; i < outputs.size(); ++i)
            text += vboard::FormatHex(outputs[i]).substr(0, 24) + "\n";
        const QString state = BoardState(board);
        for (const QString& line : state.split(QLatin1Char('\n')))
            if (!line.startsWith(QLatin1String("memory")) && !line.startsWith(QLatin1String("text")))
                text += line.toStdString() + "\n";
        return text;
    };
    std::set<QByteArray> flashRead;
    int twinCycles = 0, dumps = 0, cuts = 0, splashCuts = 0, splashes = 0, flashReads = 0, beforeAttach = 0;
    int fds10 = 0;
    long rss10 = 0;
    long heap10 = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    // Where the time goes, in seconds: plug to node, to the attach, the job
    // or the wait, pulling the cables, to the window's detach.
    double phases[5] = {};
    double mark = 0;
    const auto phase = [&](int i) {
        const double now = seconds();
        phases[i] += now - mark;
        mark = now;
    };

    for (int cycle = 1; cycle <= cycles && !HasFailure(); ++cycle) {
        SCOPED_TRACE("storm cycle " + std::to_string(cycle) + ", seed " + std::to_string(seed));
        const bool twins = upTo(9) == 0;
        const auto job = upTo(2) == 0 ? static_cast<TStormJob>(1 + upTo(2)) : TStormJob::None;
        const int moment = upTo(200);  // ms after the plug
        if (std::getenv("LUMIDRA_STORM_VERBOSE") != nullptr)
            std::printf("storm: cycle %d, twins %d, job %d, moment %d ms\n", cycle, twins, static_cast<int>(job),
                        moment);
        twinCycles += twins;
        const std::size_t modelBefore = twins ? model.Outputs().size() : 0;
        const std::size_t twinBefore = twin.Outputs().size();

        mark = seconds();
        model.Command("plug");
        if (twins) twin.Command("plug");
        ASSERT_FALSE(model.WaitNode(10s, false).empty());
        if (twins) {
            ASSERT_FALSE(twin.WaitNode(10s, false).empty());
        }
        phase(0);

        // With twins the window takes one of them; its cable goes first, the
        // window then takes the other one (silently: it is still attached)
        // before that cable goes too.
        TBoardProcess* taken = &model;
        TBoardProcess* other = nullptr;
        if (twins || job != TStormJob::None) {
            ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached && AttachedDevice != nullptr; }, WaitMs))
                << "the window never attached";
            if (twins) {
                ASSERT_TRUE(Holds(model) || Holds(twin));
                taken = Holds(twin) ? &twin : &model;
                other = taken == &twin ? &model : &twin;
            }
        }
        phase(1);
        const std::size_t otherBefore = other == &twin ? twinBefore : modelBefore;
        const std::size_t takenBefore = taken == &twin ? twinBefore : modelBefore;
        const auto pullTaken = [&] {
            if (other != nullptr) {
                EXPECT_EQ(other->Outputs().size(), otherBefore) << "while both are plugged, one is written to";
            }
            EXPECT_TRUE(Pull(*taken));
            if (other != nullptr)
                EXPECT_TRUE(QTest::qWaitFor([&] { return Holds(*other); }, WaitMs)) << "the second board not taken";
            else
                EXPECT_TRUE(QTest::qWaitFor([] { return AttachedDevice == nullptr; }, WaitMs));
        };
        // A box "left open": the GUI thread stays in the box's loop until the
        // cable has gone, as with a person who has not pressed OK yet.
        bool boxDone = false;
        Seams.OnBox = [&](const QString& text) {
            if (text != splashText && text != flashText) return;
            QTest::qWait(upTo(100));
            phase(2);
            pullTaken();
            phase(3);
            boxDone = true;
        };

        switch (job) {
            case TStormJob::None:
                QTest::qWait(moment);
                beforeAttach += !BoardAttached;
                phase(2);
                pullTaken();
                phase(3);
                break;
            case TStormJob::Dump: {
                ++dumps;
                const auto blocks = static_cast<std::uint16_t>(transfers::FlashBlockSize * (1 + upTo(47)));
                Seams.DialogAnswers.push_back(dumpPath);
                Form->ReadDUMP1->trigger();
                EXPECT_TRUE(QTest::qWaitFor([&] { return protocol::DumpOffset >= blocks; }, WaitMs))
                    << "the dump stalled: " << where(*taken);
                phase(2);
                pullTaken();
                phase(3);
                break;
            }
            case TStormJob::Splash:
                ++splashes;
                Form->Zast_Out->trigger();
                EXPECT_TRUE(QTest::qWaitFor([&] { return boxDone; }, WaitMs)) << "no splash box: " << where(*taken);
                break;
            case TStormJob::FlashRead:
                ++flashReads;
                Seams.DialogAnswers.push_back(flashPath);
                Form->Read_Flash->trigger();
                EXPECT_TRUE(QTest::qWaitFor([&] { return boxDone; }, WaitMs)) << "no end message: " << where(*taken);
                flashRead.insert(FileBytes(flashPath));
                break;
        }
        if (other != nullptr) {
            EXPECT_TRUE(Pull(*other));
        }
        EXPECT_TRUE(QTest::qWaitFor(detached, WaitMs)) << "the window never saw the board go";
        phase(4);
        Seams.OnBox = nullptr;

        for (const auto& box : Seams.Boxes) {
            if (box.Text == cutText)
                ++cuts;
            else if (box.Text == jobCutText)
                ++splashCuts;
            else if (box.Text != splashText && box.Text != flashText)
                ADD_FAILURE() << "box: " << box.Text.toStdString();
        }
        // The test's own records go, so that the heap's figures are the program's.
        Seams.Boxes.clear();
        Seams.Dialogs.clear();
        EXPECT_FALSE(QFile::exists(dumpPath)) << "a dump cut short left a file";
        if (twins) {
            // Once the first board has gone the window takes the second, at
            // most with the attach's reports when it was detached meanwhile:
            // nothing of the first board's job.
            const auto written = other->Outputs();
            for (std::size_t i = otherBefore; i < written.size(); ++i)
                EXPECT_EQ(written[i], LightOn)
                    << "the second board got more than an attach (job " << static_cast<int>(job) << ")";
            EXPECT_GE(taken->Outputs().size(), takenBefore + 2) << "the attach's two state reports";
        } else {
            EXPECT_EQ(twin.Outputs().size(), twinBefore);
        }
        if (cycle == 10) {
            fds10 = OpenDescriptors();
            rss10 = ResidentKiB();
            heap10 = HeapInUseKiB();
        }
        if (cycle % 100 == 0)
            std::printf("storm: cycle %d at %.1f s, %d descriptors, VmRSS %ld KiB\n", cycle, seconds(),
                        OpenDescriptors(), ResidentKiB());
    }
    const double stormSeconds = seconds();
    const int fdsEnd = OpenDescriptors();
    const long rssEnd = ResidentKiB();
    const long heapEnd = HeapInUseKiB();
    ASSERT_FALSE(HasFailure());

    // After the storm: the next plug is attached and a whole dump arrives.
    model.Command("plug");
    ASSERT_FALSE(model.WaitNode(10s, false).empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return BoardAttached && Holds(model); }, WaitMs));
    Seams.DialogAnswers.push_back(dumpPath);
    Form->ReadDUMP1->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Seams.Boxes.empty(); }, 60000)) << "the dump never ended";
    EXPECT_EQ(Seams.Boxes.back().Text, QString::fromUtf8(transfers::DumpDoneText));

    const QString state = BoardState(model);
    const Bytes memory = StateBytes(state, QStringLiteral("memory"));
    ASSERT_EQ(memory.size(), transfers::DumpSize);
    const QByteArray dump = FileBytes(dumpPath);
    EXPECT_EQ(Bytes(dump.begin(), dump.end()), memory) << "the dump against the board's memory";
    const Bytes flash = StateBytes(state, QStringLiteral("flash"));
    if (flashReads > 0) {
        EXPECT_EQ(flashRead, (std::set<QByteArray>{QByteArray(reinterpret_cast<const char*>(flash.data()),
                                                              static_cast<qsizetype>(flash.size()))}));
    }
    const std::string plugs = "plugs " + std::to_string(cycles + 2) + "\n";
    for (const std::string& line : {std::string("violations 0\n"), std::string("earlier-violations 0\n"), plugs})
        EXPECT_TRUE(state.contains(QString::fromStdString(line))) << line << state.toStdString();
    const QString twinState = BoardState(twin);
    for (const char* line : {"violations 0\n", "earlier-violations 0\n"})
        EXPECT_TRUE(twinState.contains(QLatin1String(line))) << "second board: " << line << twinState.toStdString();
    EXPECT_TRUE(decoy.Outputs().empty()) << "the decoy is never written to";

    std::printf(
        "storm: %d cycles in %.1f s (%.0f ms a cycle); %d with a second board; cut short: "
        "%d dumps (%d told), %d splash boxes, %d Flash-ROM end messages; %d cables pulled before "
        "the attach\n",
        cycles, stormSeconds, 1000 * stormSeconds / cycles, twinCycles, dumps, cuts, splashes, flashReads,
        beforeAttach);
    std::printf(
        "storm: seconds in all: plug to node %.1f, to the attach %.1f, the job or the wait %.1f, pulling "
        "the cables %.1f, to the detach %.1f\n",
        phases[0], phases[1], phases[2], phases[3], phases[4]);
    std::printf(
        "storm: descriptors %d after 10 cycles, %d after %d; VmRSS %ld KiB after 10, %ld KiB after %d; "
        "heap in use %ld KiB after 10, %ld KiB after %d\n",
        fds10, fdsEnd, cycles, rss10, rssEnd, cycles, heap10, heapEnd, cycles);
    EXPECT_EQ(cuts, dumps) << "each dump cut short is told once";
    EXPECT_EQ(splashCuts, splashes) << "each splash cut short is told once";
    // A leak grows with the cycles; one descriptor open at the moment of a
    // count (a node between two cycles), or closed since, is none.
    EXPECT_LE(fdsEnd - fds10, std::max(1, fds10 / 20)) << "open descriptors";
    EXPECT_LE(std::abs(rssEnd - rss10), rss10 / 20) << "resident memory";
    // A few hundred bytes a cycle would be hundreds of KiB here.
    EXPECT_LE(heapEnd - heap10, 64) << "heap in use (KiB)";
}

// Every way the program ends tells the board that the host leaves: the
// window's close, and each closing signal, which the program turns into a
// close, also with a dump under way (the closing report then keeps the job
// request, which tells the board it is a state report and not the dump's next
// JobReport). The plain signals go to the program itself, which must exit
// with 0; the rest run in this process, where a dump can be started.
struct TEnding {
    const char* Name;
    int Signal;  // 0: the window's close
    bool DumpUnderWay;
};
void PrintTo(const TEnding& ending, std::ostream* os) {
    *os << ending.Name;
}

class ProgramEnds : public ProgramOnKernel, public ::testing::WithParamInterface<TEnding> {};

TEST_P(ProgramEnds, TellsTheBoardTheHostLeaves) {
    const TEnding& ending = GetParam();
    TBoardProcess board(OnBus({"--model"}));
    ASSERT_FALSE(board.WaitNode().empty());
    std::vector<Bytes> expected{LightOn, LightOn};
    if (ending.Signal != 0 && !ending.DumpUnderWay) {
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(LUMIDRA_PROGRAM_PATH), {});
        ASSERT_TRUE(program.waitForStarted(5000));
        ASSERT_TRUE(board.WaitOutputs(2, 10s)) << "the program never attached";
        ::kill(static_cast<pid_t>(program.processId()), ending.Signal);
        ASSERT_TRUE(program.waitForFinished(10000)) << "still running after the signal";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
    } else {
        Start();
        ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, WaitMs));
        const QString dumpPath = Scratch.filePath(QStringLiteral("dump.bin"));
        if (ending.DumpUnderWay) {
            Seams.DialogAnswers.push_back(dumpPath);
            Form->ReadDUMP1->trigger();
            ASSERT_TRUE(QTest::qWaitFor([] { return protocol::DumpOffset >= 10 * transfers::FlashBlockSize; }, WaitMs));
        }
        if (ending.Signal == 0) {
            EXPECT_TRUE(Form->close());
        } else {
            app::TSignalClose closer([this](int) { Form->CloseUnattended(); });
            ::kill(::getpid(), ending.Signal);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->isVisible(); }, WaitMs));
        }
        EXPECT_EQ(AttachedDevice, nullptr);
        if (ending.DumpUnderWay) {
            // The request, then the blocks asked for in order, as far as the
            // dump got before the closing report.
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    const auto outputs = board.Outputs();
                    return !outputs.empty() && outputs.back()[3] == protocol::CommandHostLeaves;
                },
                WaitMs))
                << "no closing report";
            Bytes request = LightOn;
            request[4] = 1;
            expected.push_back(request);
            const std::size_t blocks = board.Outputs().size() - 4;
            for (std::size_t k = 0; k < blocks; ++k) {
                Bytes block(64, 0);
                block[0] = 1;
                block[1] = static_cast<std::uint8_t>(64 * k & 0xFF);
                block[2] = static_cast<std::uint8_t>(64 * k >> 8);
                expected.push_back(block);
            }
            EXPECT_GE(blocks, 10u);
            Form.reset();
            EXPECT_FALSE(QFile::exists(dumpPath)) << "a dump cut short leaves no file";
        }
    }
    Bytes closing = HostLeaves;
    closing[4] = ending.DumpUnderWay ? 1 : 0;
    expected.push_back(closing);
    ExpectReceived(board, expected, "the closing report ends the run");
    const QString state = BoardState(board);
    for (const char* line : {"host left\n", "violations 0\n"})
        EXPECT_TRUE(state.contains(QLatin1String(line))) << line << state.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Ways, ProgramEnds,
                         ::testing::Values(TEnding{"WindowClose", 0, false}, TEnding{"SIGTERM", SIGTERM, false},
                                           TEnding{"SIGINT", SIGINT, false}, TEnding{"SIGHUP", SIGHUP, false},
                                           TEnding{"WindowCloseMidDump", 0, true},
                                           TEnding{"SIGTERMMidDump", SIGTERM, true}),
                         [](const ::testing::TestParamInfo<TEnding>& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::vmtest
