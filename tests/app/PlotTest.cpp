// The plot window on the board model: "Random" starts a plot, point reports
// are painted, recorded and answered, "Пауза" and "Дальше" hold and resume
// it, closing the window ends the job on the board.
//
// The model's header first: it names a parameter `slots`, which Qt's
// headers make a macro.
#include "tests/app/MainWindowFixture.h"

#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "protocol/JobGuard.h"
#include "tests/app/FileTestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <optional>

namespace lumidra::testing {
namespace {

using graphics::PlotCounter;
using protocol::InputReport;

const QRgb Black = qRgb(0, 0, 0);

// The plot window beside the main window, its files in a folder of its own.
class WithPlotWindow : public MainWindowModelTest {
protected:
    void SetUp() override {
        MainWindowModelTest::SetUp();
        ASSERT_TRUE(Folder.isValid());
    }

    void TearDown() override {
        Plot.reset();
        MainWindowModelTest::TearDown();
    }

    // Once the main window has attached the board.
    void MakePlotWindow() {
        protocol::StartFolder = Folder.path();
        Plot = std::make_unique<graphics::TForm2>();
    }

    // Attach sent the state report with the light on; a plot asks for its job.
    static std::vector<std::uint8_t> StateWithJobRequest(std::uint8_t request) { return Report({0, 0, 0, 1, request}); }
    static std::vector<std::uint8_t> Request(std::uint8_t digits3, std::uint8_t digits4) {
        return Report({0x20, 4, digits3, digits4, 3, 0xFB});
    }

    QRgb Pixel(int x, int y) { return Plot->Image1->Picture().pixel(x, y); }
    int BlackPixels() {
        const QImage& picture = Plot->Image1->Picture();
        int count = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) count += picture.pixel(x, y) == Black;
        }
        return count;
    }
    QString FileNamed(const char* name) const { return QDir(Folder.path()).filePath(QString::fromLatin1(name)); }
    static QByteArray Contents(const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    }
    // What the record file gets for `reports`: each point's y, then its x.
    static QByteArray Recorded(std::initializer_list<const InputReport*> reports) {
        QByteArray bytes;
        for (const auto* report : reports) {
            for (int i = 0; i < 32; ++i) bytes.append(char((*report)[2 * i + 1])).append(char((*report)[2 * i]));
        }
        return bytes;
    }
    void ExpectButtons(bool pause, bool resume) const {
        EXPECT_EQ(Plot->Button1->isEnabled(), pause) << "Пауза";
        EXPECT_EQ(Plot->Button2->isEnabled(), resume) << "Дальше";
    }

    QTemporaryDir Folder;
    std::unique_ptr<graphics::TForm2> Plot;
};

// Against the board model.
class PlotOnModel : public WithPlotWindow {
protected:
    void SetUp() override {
        WithPlotWindow::SetUp();
        StartWithModel();
        MakePlotWindow();
        Board->ClearWritten();
    }
    // One report slot of the board, and what the window answered.
    TWire Step() {
        EXPECT_TRUE(StepShown());
        const TWire sent = Board->Written();
        Board->ClearWritten();
        return sent;
    }
};

// The model's plot source, with the points of some reports set by hand.
boardmodel::TReport Painted() {
    auto r = boardmodel::PlotPattern(1);
    r[0] = 0, r[1] = 0;        // point 0 (0, 0)
    r[14] = 255, r[15] = 255;  // point 7 (255, 255)
    r[16] = 10, r[17] = 20;    // point 8 (10, 20)
    return r;
}

TEST_F(PlotOnModel, PaintsRecordsPausesAndStops) {
    const auto painted = Painted();
    Board->Model().SetPlotSource([&](std::uint32_t n) { return n == 1 ? painted : boardmodel::PlotPattern(n); });
    Form->RandClick();
    EXPECT_TRUE(Plot->isVisible());
    EXPECT_EQ(Board->Written(), TWire{StateWithJobRequest(1)});
    Board->ClearWritten();
    EXPECT_TRUE(QFile::exists(FileNamed("plot-20260305-090507.bin")));
    ExpectButtons(false, false);

    // The acknowledgement brings the first request, the counter unchanged.
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x00)});
    ExpectButtons(true, false);
    // Counter 0: counted, not painted; the request carries the digits of 1.
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x10)});
    EXPECT_EQ(BlackPixels(), 0);

    EXPECT_EQ(Step(), TWire{Request(0x00, 0x20)});
    EXPECT_EQ(Pixel(0, 0), Black);
    EXPECT_EQ(Pixel(1023, 511), Black);
    EXPECT_EQ(Pixel(10, 20), Black);
    EXPECT_EQ(BlackPixels(), 32);

    // Paused: every report answered, nothing painted, written or counted.
    QTest::mouseClick(Plot->Button1, Qt::LeftButton);
    ExpectButtons(false, true);
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x20)});
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x20)});
    EXPECT_EQ(BlackPixels(), 32);
    EXPECT_EQ(PlotCounter, 2);

    QTest::mouseClick(Plot->Button2, Qt::LeftButton);
    ExpectButtons(true, false);
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x30)});
    EXPECT_GT(BlackPixels(), 32);
    const auto resumed = boardmodel::PlotPattern(4);

    // Closing the window stops the plot; the board's next report ends the
    // job there, with the bytes the last request left, and closes the file.
    Plot->close();
    EXPECT_FALSE(Plot->isVisible());
    EXPECT_EQ(Step(), (TWire{Report({0, 4, 0x00, 0x30, 3, 0xFB}), StateWithJobRequest(0)}));
    EXPECT_EQ(Board->Model().JobState(), boardmodel::TJobState::Idle);
    EXPECT_FALSE(protocol::PlotPending);
    EXPECT_FALSE(graphics::PlotFile.IsOpen());
    EXPECT_EQ(Contents(FileNamed("plot-20260305-090507.bin")), Recorded({&painted, &resumed}));

    // Status reports are shown again; a second plot gets a new file and a
    // white surface, and its counter goes on.
    Board->Model().SetChannel(1, 1023);
    EXPECT_EQ(Step(), TWire{});
    EXPECT_EQ(Form->Bar1->value(), 1023);
    Form->RandClick();
    EXPECT_EQ(graphics::PlotFile.FileName(), FileNamed("plot-20260305-090507-2.bin"));
    EXPECT_EQ(BlackPixels(), 0);
    Board->ClearWritten();
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x30)});
    EXPECT_TRUE(Seams.Boxes.empty());
    ExpectNoViolations();
}

TEST_F(PlotOnModel, CounterWrapsAfter65535AndTheReportAtZeroIsNotPainted) {
    PlotCounter = 65535;
    Form->RandClick();
    Board->ClearWritten();
    EXPECT_EQ(Step(), TWire{Request(0x56, 0x35)});
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x00)});
    EXPECT_EQ(BlackPixels(), 32) << "painted at 65535";
    EXPECT_EQ(Step(), TWire{Request(0x00, 0x10)});
    EXPECT_EQ(BlackPixels(), 32) << "not painted at 0";
    ExpectNoViolations();
}

TEST_F(PlotOnModel, AnotherJobInHandRefusesThePlotWithTheBusyBox) {
    protocol::FlashErasePending = true;
    Seams.BoxAnswers = {desktop::TMsgResult::Ok};
    Form->RandClick();
    EXPECT_TRUE(Plot->isVisible()) << "the window shows, idle";
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QString::fromUtf8(protocol::BoardBusyText));
    EXPECT_EQ(Board->Written(), TWire{});
    EXPECT_FALSE(protocol::PlotPending);
    EXPECT_TRUE(QDir(Folder.path()).isEmpty());
    ExpectButtons(false, false);
    // Closing the idle window touches nobody else's job.
    Plot->close();
    EXPECT_TRUE(protocol::FlashErasePending);
}

struct TEndCase {
    const char* Name;
    bool Detach;  // or the main window closes
};
void PrintTo(const TEndCase& c, std::ostream* os) {
    *os << c.Name;
}

class PlotEnds : public PlotOnModel, public ::testing::WithParamInterface<TEndCase> {};

TEST_P(PlotEnds, ClosesTheFileComplete) {
    Form->RandClick();
    Step();
    Step();
    Step();  // the model's report 1, painted
    if (GetParam().Detach) {
        const std::size_t before = Scans();
        Board->Unplug();
        WaitForScanAfter(before);
        EXPECT_EQ(Board->Written(), TWire{});
    } else {
        EXPECT_TRUE(Form->close());
        EXPECT_EQ(Board->Written(), TWire{Report({0, 0, 0, 2, 1})});
        EXPECT_TRUE(Board->Model().HostLeft());
        ExpectNoViolations();
    }
    EXPECT_FALSE(protocol::PlotPending || protocol::PlotRunning || protocol::JobActive);
    EXPECT_FALSE(graphics::PlotFile.IsOpen());
    EXPECT_FALSE(Plot->isVisible());
    const auto painted = boardmodel::PlotPattern(1);
    EXPECT_EQ(Contents(FileNamed("plot-20260305-090507.bin")), Recorded({&painted}));
    ExpectButtons(false, false);
}

INSTANTIATE_TEST_SUITE_P(Ends, PlotEnds,
                         ::testing::Values(TEndCase{"Detach", true}, TEndCase{"MainWindowCloses", false}),
                         [](const ::testing::TestParamInfo<TEndCase>& test) { return std::string(test.param.Name); });

struct TTroubleCase {
    const char* Name;
    bool FolderMissing;
    const char* Told;
};
void PrintTo(const TTroubleCase& c, std::ostream* os) {
    *os << c.Name;
}

class PlotFileTrouble : public PlotOnModel, public ::testing::WithParamInterface<TTroubleCase> {};

TEST_P(PlotFileTrouble, IsToldOnceInTheWindowAndThePlotGoesOn) {
#if defined(__linux__)
    std::optional<FileSizeLimit> limit;
    if (GetParam().FolderMissing) {
        protocol::StartFolder = QDir(Folder.path()).filePath("gone");
    } else {
        limit.emplace(0);
    }
#else
    if (!GetParam().FolderMissing) GTEST_SKIP() << "a failing disk is staged with a file size limit";
    protocol::StartFolder = QDir(Folder.path()).filePath("gone");
#endif
    Form->RandClick();
    for (int slot = 0; slot < 4; ++slot) Step();       // the acknowledgement, then reports 0 to 2
    QTest::mouseClick(Plot->Button1, Qt::LeftButton);  // the pause writes out what is buffered
    QTest::mouseClick(Plot->Button2, Qt::LeftButton);
    Step();
    EXPECT_TRUE(Plot->Label1->text().startsWith(QString::fromUtf8(GetParam().Told)))
        << Plot->Label1->text().toStdString();
    EXPECT_EQ(BlackPixels(), 3 * 32) << "still painted";
    Plot->close();
    Step();
    EXPECT_EQ(Board->Model().JobState(), boardmodel::TJobState::Idle);
    EXPECT_TRUE(Seams.Boxes.empty()) << "told once, in the window";
}

INSTANTIATE_TEST_SUITE_P(Troubles, PlotFileTrouble,
                         ::testing::Values(TTroubleCase{"FolderTakesNoFile", true, "Не удалось создать файл записи"},
                                           TTroubleCase{"DiskRefusesWrites", false, "Ошибка записи в файл"}),
                         [](const ::testing::TestParamInfo<TTroubleCase>& test) {
                             return std::string(test.param.Name);
                         });

}  // namespace
}  // namespace lumidra::testing
