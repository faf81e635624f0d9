// Every way the program writes a file, on a disk that fills while it writes:
// one box that names the file (the plot, which must not stop painting, tells
// it once in its window), the file that was there before byte for byte and
// nothing left beside it, the job ended on the board the way it always ends,
// and the program going on: a Flash-ROM read afterwards works.
//
// The model's header first: it names a parameter `slots`, which Qt's
// headers make a macro.
#include "tests/app/MainWindowFixture.h"

#include "graphics/ConversionTools.h"
#include "graphics/PlotJob.h"
#include "graphics/Preview.h"
#include "graphics/Unit2.h"
#include "keybase/KeyBase.h"
#include "tests/app/FileTestSupport.h"
#include "tests/graphics/BmpFile.h"
#include "transfers/Transfers.h"

#include <QDir>
#include <QTemporaryDir>

#include <functional>
#include <optional>

namespace lumidra::testing {
namespace {

using desktop::TMsgResult;

constexpr std::uint8_t LightOn = 1;  // StateReport byte 4 since the attach

class FullDisk;

struct TFullDiskCase {
    const char* Name;
    long long Limit;                   // bytes a file may grow to while the operation runs
    std::vector<const char*> Earlier;  // files of these names are there before
    const char* Named;                 // the file the operator is told of
    const char* Told;                  // how the telling starts
    bool InPlotWindow;                 // told in the plot window, not in a box
    std::function<void(FullDisk&)> Run;
    TWire Wire;  // what the board gets, all 65 bytes each
};
void PrintTo(const TFullDiskCase& c, std::ostream* os) {
    *os << c.Name;
}

class FullDisk : public MainWindowModelTest, public ::testing::WithParamInterface<TFullDiskCase> {
public:
    // For the cases' operations.
    using MainWindowModelTest::Form;

    void SetUp() override {
        MainWindowModelTest::SetUp();
        StartWithModelIn(Dir);
        Plot = std::make_unique<graphics::TForm2>();
        Board->ClearWritten();
    }
    void TearDown() override {
        Plot.reset();
        MainWindowModelTest::TearDown();
    }

    QString Path(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }
    // Runs a command with `file` chosen in its dialog.
    void Choose(QAction* command, const char* file) {
        Seams.DialogAnswers.push_back(Path(file));
        command->trigger();
    }
    void RunJob() { ASSERT_TRUE(Board->RunJob()); }
    void Step() { ASSERT_TRUE(Board->Step()); }
    void Picture(const graphics::TPicture& picture) { graphics::ShowPicture(*Form->Image1, picture); }

    static QByteArray EarlierBytes(const char* name) { return QByteArray("the operator's earlier ") + name; }

    QTemporaryDir Dir;
    std::unique_ptr<graphics::TForm2> Plot;
    QString PlotNote;  // the plot window's note while it showed
};

std::vector<std::uint8_t> State(std::uint8_t request) {
    return Report({0, 0, 0, LightOn, request});
}
std::vector<std::uint8_t> Job(std::uint8_t code, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4 = 0) {
    return Report({code, b2, b3, b4});
}
// A plot request with the counter's digits (as the plot sends them) and its
// end, which keeps them.
std::vector<std::uint8_t> PlotJob(std::uint8_t code, std::uint8_t digits4) {
    return Report({code, 4, 0, digits4, 3, 0xFB});
}

TEST_P(FullDisk, OneMessageTheEarlierFileIntactTheJobEndedAndTheProgramGoesOn) {
    [[maybe_unused]] const TFullDiskCase& c = GetParam();
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no per-process file size limit (RLIMIT_FSIZE) with which a test could fill the disk";
#else
    for (const char* name : c.Earlier) WriteFile(Path(name), EarlierBytes(name));
    Seams.BoxAnswers.push_back(TMsgResult::Ok);
    {
        FileSizeLimit limit(static_cast<rlim_t>(c.Limit));
        ASSERT_TRUE(limit.Ok());
        c.Run(*this);
    }
    Seams.BoxAnswers.clear();

    const QString named = QDir::toNativeSeparators(Path(c.Named));
    if (c.InPlotWindow) {
        EXPECT_TRUE(Seams.Boxes.empty()) << "told in the window, not in a box";
        const QString& note = PlotNote;
        EXPECT_TRUE(note.startsWith(QString::fromUtf8(c.Told))) << note.toStdString();
        EXPECT_TRUE(note.contains(named)) << note.toStdString();
    } else {
        ASSERT_EQ(Seams.Boxes.size(), 1u);
        const QString text = Seams.Boxes[0].Text;
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.Told))) << text.toStdString();
        EXPECT_TRUE(text.contains(named)) << text.toStdString();
    }

    QStringList expectedFiles;
    for (const char* name : c.Earlier) {
        EXPECT_EQ(FileBytes(Path(name)), EarlierBytes(name)) << name;
        expectedFiles << QString::fromLatin1(name);
    }
    if (c.InPlotWindow) expectedFiles << QString::fromLatin1(c.Named);  // the plot's own, new record
    expectedFiles.sort();
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), expectedFiles)
        << "nothing left beside the earlier files";

    EXPECT_EQ(Board->Written(), c.Wire);
    EXPECT_EQ(Board->Model().JobState(), boardmodel::TJobState::Idle);
    EXPECT_FALSE(protocol::JobActive || protocol::FlashReadPending || protocol::DumpRequested ||
                 protocol::PlotPending || protocol::PlotRunning);
    ExpectNoViolations();

    // The program goes on: a Flash-ROM read, start to end (JobReport bytes 5
    // and 6, which it does not write, go out as the last job left them).
    Seams.Boxes.clear();
    Board->ClearWritten();
    const std::uint8_t b5 = protocol::JobReport[5], b6 = protocol::JobReport[6];
    Choose(Form->Read_Flash, "next.bin");
    ASSERT_TRUE(Board->RunJob());
    EXPECT_EQ(Board->Written(), (TWire{State(1), Report({16, 0, 64, 127, b5, b6}), Report({0, 0, 64, 127, b5, b6})}));
    const auto& flash = Board->Model().Flash();
    EXPECT_EQ(FileBytes(Path("next.bin")), QByteArray(reinterpret_cast<const char*>(flash.data()), 64));
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QString::fromUtf8(transfers::FlashReadDoneText));
    ExpectNoViolations();
#endif
}

TWire DumpCutAtBlock30() {
    TWire wire{State(1)};
    for (int k = 0; k <= 30; ++k) wire.push_back(Job(1, std::uint8_t(64 * k & 0xFF), std::uint8_t(64 * k >> 8)));
    wire.push_back(Job(0, std::uint8_t(64 * 31 & 0xFF), std::uint8_t(64 * 31 >> 8)));
    wire.push_back(State(0));
    return wire;
}

const char* const TableNotWritten = graphics::TableNotWrittenText;

INSTANTIATE_TEST_SUITE_P(
    WritePaths, FullDisk,
    ::testing::Values(TFullDiskCase{"KeyBaseSave",
                                    16,
                                    {"keys.txt"},
                                    "keys.txt",
                                    keybase::SaveFailedText,
                                    false,
                                    [](FullDisk& f) {
                                        f.Form->MemoKey->setPlainText(
                                            QStringLiteral("0123456789ABCDEF\n1122334455667788\n"));
                                        f.Choose(f.Form->SaveBase, "keys.txt");
                                    },
                                    {}},
                      TFullDiskCase{"FlashRomRead",
                                    32,
                                    {"flash.bin"},
                                    "flash.bin",
                                    "Файл «",
                                    false,
                                    [](FullDisk& f) {
                                        f.Choose(f.Form->Read_Flash, "flash.bin");
                                        f.RunJob();
                                    },
                                    {State(1), Job(16, 0, 64, 127), Job(0, 0, 64, 127), State(0)}},
                      TFullDiskCase{"Dump",
                                    64 * 30,
                                    {"dump.bin"},
                                    "dump.bin",
                                    "Файл «",
                                    false,
                                    [](FullDisk& f) {
                                        f.Choose(f.Form->ReadDUMP1, "dump.bin");
                                        f.RunJob();
                                    },
                                    DumpCutAtBlock30()},
                      TFullDiskCase{"PictureStripTable",
                                    16,
                                    {"strip.txt"},
                                    "strip.txt",
                                    TableNotWritten,
                                    false,
                                    [](FullDisk& f) {
                                        f.Picture(Pixels({{10, 0}, {11, 11}}));
                                        f.Choose(f.Form->Trans_Pict, "strip.txt");
                                    },
                                    {}},
                      TFullDiskCase{"FontTable",
                                    16,
                                    {"font.txt"},
                                    "font.txt",
                                    TableNotWritten,
                                    false,
                                    [](FullDisk& f) {
                                        f.Picture(Pixels({{0, 0}}));
                                        f.Choose(f.Form->Trans_Type, "font.txt");
                                    },
                                    {}},
                      // The 384 data bytes fit, the table after them does not: neither
                      // file may change.
                      TFullDiskCase{"SplashTableAfterItsData",
                                    1000,
                                    {"screen.txt", "screen.bin"},
                                    "screen.txt",
                                    TableNotWritten,
                                    false,
                                    [](FullDisk& f) {
                                        f.Picture(Pixels({{0, 16}, {95, 47}}));
                                        f.Choose(f.Form->Zast, "screen.txt");
                                    },
                                    {}},
                      TFullDiskCase{"SplashData",
                                    100,
                                    {"screen.txt", "screen.bin"},
                                    "screen.bin",
                                    TableNotWritten,
                                    false,
                                    [](FullDisk& f) {
                                        f.Picture(Pixels({{0, 16}}));
                                        f.Choose(f.Form->Zast, "screen.txt");
                                    },
                                    {}},
                      // A plot never writes over an earlier one: its record is a new file
                      // beside it. The disk refuses its first buffered write (the pause
                      // writes out the buffer); the plot paints on, and the window's close
                      // ends it on the board at the next acknowledgement as ever.
                      TFullDiskCase{"PlotRecord",
                                    0,
                                    {"plot-20260305-090507.bin"},
                                    "plot-20260305-090507-2.bin",
                                    "Ошибка записи в файл",
                                    true,
                                    [](FullDisk& f) {
                                        f.Form->RandClick();
                                        for (int slot = 0; slot < 4; ++slot)
                                            f.Step();  // the acknowledgement, reports 0 to 2
                                        QTest::mouseClick(f.Plot->Button1, Qt::LeftButton);
                                        QTest::mouseClick(f.Plot->Button2, Qt::LeftButton);
                                        f.Step();
                                        f.PlotNote = f.Plot->Label1->text();
                                        f.Plot->close();
                                        f.Step();
                                    },
                                    {State(1), PlotJob(0x20, 0x00), PlotJob(0x20, 0x10), PlotJob(0x20, 0x20),
                                     PlotJob(0x20, 0x30), PlotJob(0x20, 0x40), PlotJob(0, 0x40), State(0)}}),
    [](const ::testing::TestParamInfo<TFullDiskCase>& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
