// The Flash-ROM read, erase and write and the memory dump in the real window
// against the board model: every report on the wire, the board's flash and
// memory, and the files, byte for byte.
#include "tests/app/MainWindowFixture.h"

#include "protocol/JobGuard.h"
#include "protocol/JobCut.h"
#include "tests/app/FileTestSupport.h"
#include "transfers/Transfers.h"

#include <QDir>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace lumidra::testing {
namespace {

using desktop::TMsgIcon;
using desktop::TMsgResult;
using namespace transfers;

constexpr std::uint8_t LightOn = 1;  // StateReport byte 4 since the attach

// Table cases are named after their Name.
constexpr auto CaseName = [](const auto& test) { return std::string(test.param.Name); };

template <typename Bytes>
QByteArray AsFile(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class Transfers : public MainWindowModelTest {
protected:
    void SetUp() override {
        MainWindowModelTest::SetUp();
        StartWithModelIn(Dir);
        Board->ClearWritten();
    }
    void TearDown() override {
        if (Board) ExpectNoViolations();
        MainWindowModelTest::TearDown();
    }

    QString Path(const QString& name) const { return Dir.filePath(name); }
    QStringList Files() const { return QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden); }
    boardmodel::TBoardModel& Model() { return Board->Model(); }

    // Runs a starter with `file` chosen in its dialog.
    void Choose(QAction* command, const std::optional<QString>& file) {
        Seams.DialogAnswers.push_back(file);
        command->trigger();
    }
    // The board's acknowledgement and the first `blocks` blocks of a dump.
    void StepDump(int blocks) {
        for (int k = 0; k <= blocks; ++k) ASSERT_TRUE(Board->Step());
    }

    static std::vector<std::uint8_t> State(std::uint8_t request) { return Report({0, 0, 0, LightOn, request}); }
    static std::vector<std::uint8_t> DumpReport(std::uint8_t code, int offset) {
        return Report({code, static_cast<std::uint8_t>(offset & 0xFF), static_cast<std::uint8_t>(offset >> 8)});
    }
    // The dump's wire from its request to the request of block `blocks` - 1.
    static TWire DumpRequests(int blocks) {
        TWire wire{State(1)};
        for (int k = 0; k < blocks; ++k) wire.push_back(DumpReport(1, 64 * k));
        return wire;
    }

    void ExpectOneBox(const QString& text, TMsgIcon icon = TMsgIcon::None) const {
        ASSERT_EQ(Seams.Boxes.size(), 1u);
        EXPECT_EQ(Seams.Boxes[0].Text, text);
        EXPECT_EQ(Seams.Boxes[0].Icon, icon);
    }
    void ExpectIdle() {
        EXPECT_FALSE(protocol::JobActive || protocol::FlashReadPending || protocol::FlashErasePending ||
                     protocol::FlashWritePending || protocol::DumpRequested);
        EXPECT_EQ(Model().JobState(), boardmodel::TJobState::Idle);
    }

    QTemporaryDir Dir;
};

TEST_F(Transfers, ReadStoresTheBoardsBlockIndexSixIncluded) {
    Model().Flash()[6] = 0;
    WriteFile(Path("flash.bin"), "an older, longer file that the read replaces whole, byte for byte");
    Choose(Form->Read_Flash, Path("flash.bin"));
    ASSERT_TRUE(Board->RunJob());
    ExpectWire({State(1), Report({16, 0, 64, 127}), Report({0, 0, 64, 127})});
    EXPECT_EQ(FileBytes(Path("flash.bin")), AsFile(Model().Flash()));
    ExpectOneBox(QString::fromUtf8(FlashReadDoneText));
    ExpectIdle();
}

TEST_F(Transfers, EraseTrace) {
    Form->Erase_Flash->trigger();
    ASSERT_TRUE(Board->RunJob());
    ExpectWire({State(1), Report({16, 1, 64, 127}), State(0)});
    std::array<std::uint8_t, 64> erased{};
    erased.fill(0xFF);
    EXPECT_EQ(Model().Flash(), erased);
    ExpectOneBox(QString::fromUtf8(FlashEraseDoneText));
    ExpectIdle();
}

TEST_F(Transfers, DumpStoresTheBoardsMemoryAndEndsWithOffset4096) {
    Choose(Form->ReadDUMP1, Path("dump.bin"));
    ASSERT_TRUE(Board->RunJob());
    TWire expected = DumpRequests(64);
    expected.push_back(DumpReport(0, 4096));
    ExpectWire(expected);
    EXPECT_EQ(FileBytes(Path("dump.bin")), AsFile(Model().Memory()));
    ExpectOneBox(QString::fromUtf8(DumpDoneText));
    ExpectIdle();
    EXPECT_EQ(Files(), QStringList{"dump.bin"});
}

// --- the write's source --------------------------------------------------------

struct TSourceCase {
    const char* Name;
    int Size;       // bytes in the source
    bool ReadOnly;  // nobody may write the source
    bool Sent;      // whether the block goes to the board
};

class WriteSource : public Transfers, public ::testing::WithParamInterface<TSourceCase> {};

TEST_P(WriteSource, OnlyAWholeBlockReachesTheBoard) {
    const TSourceCase& c = GetParam();
    QByteArray source;
    for (int i = 0; i < c.Size; ++i) source += static_cast<char>(0xA0 + i);
    const QString name = Path("source.bin");
    WriteFile(name, source);
    std::optional<ReadOnlyFile> readOnly;
    if (c.ReadOnly) {
        readOnly.emplace(name);
        if (!readOnly->Ok()) GTEST_SKIP() << "no way to make a file read-only here";
    }
    protocol::DataReport.fill(0x5A);
    const protocol::OutputReport before = protocol::DataReport;
    const auto flashBefore = Model().Flash();
    if (!c.Sent) Seams.BoxAnswers.push_back(TMsgResult::Ok);

    Choose(Form->Write_Flash, name);
    ASSERT_TRUE(Board->RunJob());
    if (!c.Sent) {
        ExpectWire({});
        EXPECT_EQ(protocol::DataReport, before);
        EXPECT_EQ(Model().Flash(), flashBefore);
        ExpectOneBox(ShortSourceText(name), TMsgIcon::Error);
        ExpectIdle();
        return;
    }
    std::vector<std::uint8_t> data{0};
    data.insert(data.end(), source.begin(), source.begin() + 64);
    ExpectWire({State(1), Report({16, 2, 64, 127}), data, State(0)});
    EXPECT_EQ(AsFile(Model().Flash()), source.left(64));
    ExpectOneBox(QString::fromUtf8(FlashWriteDoneText));
    ExpectIdle();
}

INSTANTIATE_TEST_SUITE_P(Files, WriteSource,
                         ::testing::Values(TSourceCase{"HundredBytesSendsTheFirst64", 100, false, true},
                                           TSourceCase{"ReadOnlyFileServes", 64, true, true},
                                           TSourceCase{"SixtyThreeBytesSendNothing", 63, false, false},
                                           TSourceCase{"EmptyFileSendsNothing", 0, false, false}),
                         CaseName);

// --- starters that stop -----------------------------------------------------------

struct TStopCase {
    const char* Name;
    QAction* Ui::TForm1::*Command;
    bool Busy;  // another job waits; otherwise the dialog is cancelled
};

class StarterStops : public Transfers, public ::testing::WithParamInterface<TStopCase> {};

TEST_P(StarterStops, WithNothingSentAndNothingChanged) {
    const TStopCase& c = GetParam();
    protocol::LcdCommandPending = c.Busy;
    if (c.Busy) Seams.BoxAnswers.push_back(TMsgResult::Ok);
    Seams.CancelUnscripted = true;
    (Form.get()->*c.Command)->trigger();
    ExpectWire({});
    EXPECT_EQ(protocol::StateReport[5], 0);
    ExpectIdle();
    if (c.Busy) {
        ExpectOneBox(QString::fromUtf8(protocol::BoardBusyText), TMsgIcon::Warning);
        EXPECT_TRUE(Seams.Dialogs.empty()) << "refused before any dialog";
    } else {
        EXPECT_EQ(Seams.Dialogs.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, StarterStops,
                         ::testing::Values(TStopCase{"ReadBusy", &Ui::TForm1::Read_Flash, true},
                                           TStopCase{"EraseBusy", &Ui::TForm1::Erase_Flash, true},
                                           TStopCase{"WriteBusy", &Ui::TForm1::Write_Flash, true},
                                           TStopCase{"DumpBusy", &Ui::TForm1::ReadDUMP1, true},
                                           TStopCase{"ReadCancelled", &Ui::TForm1::Read_Flash, false},
                                           TStopCase{"WriteCancelled", &Ui::TForm1::Write_Flash, false},
                                           TStopCase{"DumpCancelled", &Ui::TForm1::ReadDUMP1, false}),
                         CaseName);

TEST_F(Transfers, DialogsKeepTheKeyBaseTitleAndFolderAndSetOnlyTheFilter) {
    Seams.CancelUnscripted = true;
    Seams.DialogAnswers = {std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    Form->SaveBase->trigger();
    Form->Read_Flash->trigger();
    Form->LoadBase->trigger();
    Form->Write_Flash->trigger();
    ASSERT_EQ(Seams.Dialogs.size(), 4u);
    const QString filter = QString::fromUtf8(BinaryFilter);
    const auto& read = Seams.Dialogs[1];
    EXPECT_EQ(read.Title, QStringLiteral("Сохранение базы ключей :"));
    EXPECT_EQ(read.InitialDir, Dir.path());
    EXPECT_EQ(read.Filter, filter);
    EXPECT_EQ(read.Options, desktop::ofOverwritePrompt | desktop::ofHideReadOnly | desktop::ofNoValidate |
                                desktop::ofPathMustExist | desktop::ofNoReadOnlyReturn | desktop::ofNoTestFileCreate |
                                desktop::ofEnableSizing);
    const auto& write = Seams.Dialogs[3];
    EXPECT_EQ(write.Title, QStringLiteral("Открытие базы ключей :"));
    EXPECT_EQ(write.InitialDir, Dir.path());
    EXPECT_EQ(write.Filter, filter);
    EXPECT_EQ(write.Options, desktop::DefaultFileDialogOptions);
}

// --- transfers cut short ----------------------------------------------------------

TEST_F(Transfers, UnplugAtBlock30LeavesTheChosenFileUntouchedAndSaysSo) {
    WriteFile(Path("dump.bin"), "the operator's old dump");
    Choose(Form->ReadDUMP1, Path("dump.bin"));
    StepDump(30);
    EXPECT_TRUE(Seams.Boxes.empty());
    const std::size_t scans = Scans();
    Board->Unplug();
    WaitForScanAfter(scans);
    ExpectOneBox(QString::fromUtf8(protocol::TransferCutText));
    EXPECT_EQ(FileBytes(Path("dump.bin")), QByteArray("the operator's old dump"));
    EXPECT_EQ(Files(), QStringList{"dump.bin"}) << "no partial file beside it";
    EXPECT_FALSE(protocol::JobActive || protocol::DumpRequested);

    // The board back: nothing more is said, and a dump works.
    const std::size_t reads = Bus.CallCount("ReadFileEx");
    Board->Replug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app::BoardAttached && Bus.CallCount("ReadFileEx") > reads; }, 5000));
    Choose(Form->ReadDUMP1, Path("dump.bin"));
    ASSERT_TRUE(Board->RunJob());
    EXPECT_EQ(FileBytes(Path("dump.bin")), AsFile(Model().Memory()));
    ASSERT_EQ(Seams.Boxes.size(), 2u);
    EXPECT_EQ(Seams.Boxes[1].Text, QString::fromUtf8(DumpDoneText));
}

// The closing report keeps the job request: inside a dump the board takes a
// report whose byte 5 is 0 for a JobReport (here one that would cross the
// block on its way), so the request flag is what makes it the state report
// that tells the board the host leaves.
TEST_F(Transfers, ClosingTheWindowMidDumpTellsTheBoardAndLeavesTheChosenFileUntouched) {
    WriteFile(Path("dump.bin"), "the operator's old dump");
    Choose(Form->ReadDUMP1, Path("dump.bin"));
    StepDump(30);
    EXPECT_TRUE(Form->close());
    TWire expected = DumpRequests(31);
    expected.push_back(Report({0, 0, 0, 2, 1}));
    ExpectWire(expected);
    EXPECT_TRUE(Model().HostLeft());
    Form.reset();
    EXPECT_EQ(FileBytes(Path("dump.bin")), QByteArray("the operator's old dump"));
    EXPECT_EQ(Files(), QStringList{"dump.bin"});
}

TEST_F(Transfers, ReadIntoAFolderGoneEndsTheJobOnTheBoard) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("dir"));
    Choose(Form->Read_Flash, Path("dir/flash.bin"));
    ASSERT_TRUE(QDir(Path("dir")).removeRecursively());
    Seams.BoxAnswers.push_back(TMsgResult::Ok);
    ASSERT_TRUE(Board->RunJob());
    ExpectWire({State(1), Report({0, 0, 64, 127}), State(0)});
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Icon, TMsgIcon::Error);
    ExpectIdle();
}

// A file error in a step ends the job on the board, shows one error box and
// leaves no file; the reader runs on and the next dump works.
struct TFaultCase {
    const char* Name;
    int Stored;     // blocks stored before the fault; -1: it meets the first step
    bool FullDisk;  // no file may grow past 30 blocks
    std::function<void(const QString& path)> Fault;
};

class DumpFault : public Transfers, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(DumpFault, EndsTheJobOnTheBoardAndTheNextDumpWorks) {
    const TFaultCase& c = GetParam();
#if defined(_WIN32)
    if (c.FullDisk)
        GTEST_SKIP() << "Windows has no per-process file size limit (RLIMIT_FSIZE) with which a test "
                        "could fill the disk";
#endif
    const QString name = Path("dir/dump.bin");
    ASSERT_TRUE(QDir(Dir.path()).mkdir("dir"));
    Choose(Form->ReadDUMP1, name);
    if (c.Stored >= 0) StepDump(c.Stored);
    {
#if !defined(_WIN32)
        std::optional<FileSizeLimit> limit;
        if (c.FullDisk) limit.emplace(64 * 30);
#endif
        c.Fault(name);
        Seams.BoxAnswers.push_back(TMsgResult::Ok);
        ASSERT_TRUE(Board->Step());
    }
    const int fetched = c.Stored + 1;  // requests sent before the failing step
    TWire expected = DumpRequests(std::min(fetched, 64));
    expected.push_back(DumpReport(0, 64 * fetched));
    expected.push_back(State(0));
    ExpectWire(expected);
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    const QString text = Seams.Boxes[0].Text;
    EXPECT_EQ(Seams.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_TRUE(text.startsWith(TransferWriteErrorText(name, {}).section(':', 0, 0))) << text.toStdString();
    EXPECT_NE(text, TransferWriteErrorText(name, {})) << "the system's reason is given";
    ExpectIdle();
    EXPECT_FALSE(QFileInfo(name).isFile());
    EXPECT_TRUE(QDir(Path("dir")).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "nothing left beside it";

    Seams.Boxes.clear();
    Choose(Form->ReadDUMP1, Path("again.bin"));
    ASSERT_TRUE(Board->RunJob());
    EXPECT_EQ(FileBytes(Path("again.bin")), AsFile(Model().Memory()));
    ExpectOneBox(QString::fromUtf8(DumpDoneText));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DumpFault,
    ::testing::Values(TFaultCase{"DiskFullAtBlock30", 30, true, [](const QString&) {}},
                      TFaultCase{"FileReplacedByAFolder", 63, false, [](const QString& path) { QDir().mkpath(path); }},
                      TFaultCase{"FolderRemovedBeforeTheStart", -1, false,
                                 [](const QString& path) { QDir(QFileInfo(path).path()).removeRecursively(); }}),
    CaseName);

}  // namespace
}  // namespace lumidra::testing
