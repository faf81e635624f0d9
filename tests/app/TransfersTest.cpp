// The Flash-ROM read, erase and write and the memory dump in the real window:
// every report on the wire, byte for byte, and the files byte for byte.
#include "tests/app/MainWindowFixture.h"

#include "protocol/JobGuard.h"
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

// 64 data bytes of block `k`, index 6 among them 0.
protocol::InputReport Block(int k) {
    protocol::InputReport r{};
    for (int i = 0; i < 64; ++i) r[i] = static_cast<std::uint8_t>(k * 7 + i * 13 + 1);
    r[6] = 0;
    return r;
}

QByteArray Bytes(const protocol::InputReport& r) {
    return QByteArray(reinterpret_cast<const char*>(r.data()), 64);
}

// Table cases are named after their Name.
constexpr auto CaseName = [](const auto& info) { return std::string(info.param.Name); };

QByteArray DumpBytes(int blocks) {
    QByteArray all;
    for (int k = 0; k < blocks; ++k) all += Bytes(Block(k));
    return all;
}

class Transfers : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ResetTransfers();
        ASSERT_TRUE(Dir.isValid());
        protocol::StartFolder = Dir.path();
        Board = StartAttached();
        Bus.ClearWritten(Board);
    }

    QString Path(const QString& name) const { return Dir.filePath(name); }
    QStringList Files() const { return QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden); }
    TWire Wire() const { return Bus.Written(Board); }

    // Runs a starter with `file` chosen in its dialog.
    void Choose(QAction* command, const std::optional<QString>& file) {
        Seams.DialogAnswers.push_back(file);
        command->trigger();
    }
    void Acknowledge() { Deliver(Board, Status(0, 0, 0, 0, {}, 1)); }

    static std::vector<std::uint8_t> State(std::uint8_t request) { return Report({0, 0, 0, LightOn, request}); }

    // The dump's wire from its request to block `blocks` asked for.
    static TWire DumpRequests(int blocks) {
        TWire wire{State(1)};
        for (int k = 0; k < blocks; ++k) {
            const int o = 64 * k;
            wire.push_back(Report({1, static_cast<std::uint8_t>(o & 0xFF), static_cast<std::uint8_t>(o >> 8)}));
        }
        return wire;
    }
    // Delivers the acknowledgement and `blocks` data blocks of a dump.
    void FeedDump(int blocks) {
        Acknowledge();
        for (int k = 0; k < blocks; ++k) Deliver(Board, Block(k));
    }

    void ExpectOneBox(const QString& text, TMsgIcon icon = TMsgIcon::None) const {
        ASSERT_EQ(Seams.Boxes.size(), 1u);
        EXPECT_EQ(Seams.Boxes[0].Text, text);
        EXPECT_EQ(Seams.Boxes[0].Icon, icon);
    }
    static void ExpectIdle() {
        EXPECT_FALSE(protocol::JobActive);
        EXPECT_FALSE(protocol::FlashReadPending || protocol::FlashErasePending || protocol::FlashWritePending);
        EXPECT_FALSE(protocol::DumpRequested);
    }

    QTemporaryDir Dir;
    int Board = 0;
};

TEST_F(Transfers, ReadStoresTheOneDataReportIndexSixIncluded) {
    WriteFile(Path("flash.bin"), "an older, longer file that the read replaces whole");
    Choose(Form->Read_Flash, Path("flash.bin"));
    Acknowledge();
    Deliver(Board, Block(5));
    EXPECT_EQ(Wire(), (TWire{State(1), Report({16, 0, 64, 127}), Report({0, 0, 64, 127})}));
    EXPECT_EQ(FileBytes(Path("flash.bin")), Bytes(Block(5)));
    ExpectOneBox(QString::fromUtf8(FlashReadDoneText));
    ExpectIdle();
}

TEST_F(Transfers, EraseTrace) {
    Form->Erase_Flash->trigger();
    Acknowledge();
    EXPECT_EQ(Wire(), (TWire{State(1), Report({16, 1, 64, 127}), State(0)}));
    ExpectOneBox(QString::fromUtf8(FlashEraseDoneText));
    ExpectIdle();
}

TEST_F(Transfers, DumpStoresAll4096BytesAndEndsWithOffset4096) {
    Choose(Form->ReadDUMP1, Path("dump.bin"));
    FeedDump(64);
    TWire expected = DumpRequests(64);
    expected.push_back(Report({0, 0x00, 0x10}));
    EXPECT_EQ(Wire(), expected);
    EXPECT_EQ(FileBytes(Path("dump.bin")), DumpBytes(64));
    ExpectOneBox(QString::fromUtf8(DumpDoneText));
    ExpectIdle();
    EXPECT_EQ(Files(), QStringList{"dump.bin"});
}

// --- the write's source --------------------------------------------------------

struct TSourceCase {
    const char* Name;
    int Size;       // bytes in the source
    bool ReadOnly;  // the source's permissions
    bool Sent;      // whether the block goes to the board
};
void PrintTo(const TSourceCase& c, std::ostream* os) { *os << c.Name; }

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
    if (!c.Sent) Seams.BoxAnswers.push_back(TMsgResult::Ok);

    Choose(Form->Write_Flash, name);
    if (!c.Sent) {
        EXPECT_TRUE(Wire().empty());
        EXPECT_EQ(protocol::DataReport, before);
        ExpectOneBox(ShortSourceText(name), TMsgIcon::Error);
        ExpectIdle();
        return;
    }
    Acknowledge();
    std::vector<std::uint8_t> data{0};
    data.insert(data.end(), source.begin(), source.begin() + 64);
    EXPECT_EQ(Wire(), (TWire{State(1), Report({16, 2, 64, 127}), data, State(0)}));
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
void PrintTo(const TStopCase& c, std::ostream* os) { *os << c.Name; }

class StarterStops : public Transfers, public ::testing::WithParamInterface<TStopCase> {};

TEST_P(StarterStops, WithNothingSentAndNothingChanged) {
    const TStopCase& c = GetParam();
    protocol::LcdCommandPending = c.Busy;
    if (c.Busy) Seams.BoxAnswers.push_back(TMsgResult::Ok);
    Seams.CancelUnscripted = true;
    (Form.get()->*c.Command)->trigger();
    EXPECT_TRUE(Wire().empty());
    EXPECT_EQ(protocol::StateReport[5], 0);
    EXPECT_FALSE(protocol::FlashReadPending || protocol::FlashErasePending || protocol::FlashWritePending ||
                 protocol::DumpRequested);
    if (c.Busy) {
        ExpectOneBox(QString::fromUtf8(protocol::BoardBusyText), TMsgIcon::Warning);
        EXPECT_TRUE(Seams.Dialogs.empty()) << "refused before any dialog";
    } else {
        EXPECT_EQ(Seams.Dialogs.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StarterStops,
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
                                desktop::ofPathMustExist | desktop::ofNoReadOnlyReturn |
                                desktop::ofNoTestFileCreate | desktop::ofEnableSizing);
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
    FeedDump(30);
    EXPECT_TRUE(Seams.Boxes.empty());
    UnplugAndScan(Board);
    ExpectOneBox(QString::fromUtf8(TransferCutText));
    EXPECT_EQ(FileBytes(Path("dump.bin")), QByteArray("the operator's old dump"));
    EXPECT_EQ(Files(), QStringList{"dump.bin"}) << "no partial file beside it";
    ExpectIdle();

    // The next device change says nothing more.
    Board = PlugAndScan();
    EXPECT_EQ(Seams.Boxes.size(), 1u);
}

// A file error in a step ends the job on the board, shows one error box and
// leaves no file; the reader runs on and the next dump works.
struct TFaultCase {
    const char* Name;
    int Delivered;  // data blocks stored before the fault; -1: it comes before the first step
    bool FullDisk;  // no file may grow past 30 blocks
    std::function<void(const QString& path)> Fault;
};
void PrintTo(const TFaultCase& c, std::ostream* os) { *os << c.Name; }

class DumpFault : public Transfers, public ::testing::WithParamInterface<TFaultCase> {};

TEST_P(DumpFault, EndsTheJobOnTheBoardAndTheNextDumpWorks) {
    const TFaultCase& c = GetParam();
    const QString name = Path("dir/dump.bin");
    ASSERT_TRUE(QDir(Dir.path()).mkdir("dir"));
    Choose(Form->ReadDUMP1, name);
    if (c.Delivered >= 0) FeedDump(c.Delivered);
    {
        std::optional<FileSizeLimit> limit;
        if (c.FullDisk) limit.emplace(64 * 30);
        c.Fault(name);
        Seams.BoxAnswers.push_back(TMsgResult::Ok);
        if (c.Delivered < 0) {
            Acknowledge();
        } else {
            Deliver(Board, Block(c.Delivered));
        }
    }
    const int requests = std::min(c.Delivered + 1, 64);
    const int endOffset = 64 * (c.Delivered + 1);
    TWire expected = DumpRequests(requests);
    expected.push_back(Report({0, static_cast<std::uint8_t>(endOffset & 0xFF),
                               static_cast<std::uint8_t>(endOffset >> 8)}));
    expected.push_back(State(0));
    EXPECT_EQ(Wire(), expected);
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    const QString text = Seams.Boxes[0].Text;
    EXPECT_EQ(Seams.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_TRUE(text.startsWith(TransferWriteErrorText(name, {}).section(':', 0, 0))) << text.toStdString();
    EXPECT_NE(text, TransferWriteErrorText(name, {})) << "the system's reason is given";
    ExpectIdle();
    EXPECT_FALSE(QFileInfo(name).isFile());
    EXPECT_TRUE(QDir(Path("dir")).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "nothing left beside it";

    Bus.ClearWritten(Board);
    Seams.Boxes.clear();
    Choose(Form->ReadDUMP1, Path("again.bin"));
    FeedDump(64);
    EXPECT_EQ(FileBytes(Path("again.bin")), DumpBytes(64));
    ExpectOneBox(QString::fromUtf8(DumpDoneText));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DumpFault,
    ::testing::Values(TFaultCase{"DiskFullAtBlock30", 30, true, [](const QString&) {}},
                      TFaultCase{"FileReplacedByAFolder", 63, false,
                                 [](const QString& path) { QDir().mkpath(path); }},
                      TFaultCase{"FolderRemovedBeforeTheStart", -1, false,
                                 [](const QString& path) { QDir(QFileInfo(path).path()).removeRecursively(); }}),
    CaseName);

}  // namespace
}  // namespace lumidra::testing
