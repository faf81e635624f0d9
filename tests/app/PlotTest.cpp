// The plot window on the attached virtual board: "Random" starts a plot,
// point reports are painted, recorded and answered, "Пауза" and "Дальше"
// hold and resume it, closing the window ends the job on the board.
#include "tests/app/MainWindowFixture.h"

#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "protocol/JobGuard.h"

#include <QDir>
#include <QTemporaryDir>

#include "tests/support/FileSizeLimit.h"

#include <optional>

namespace lumidra::testing {
namespace {

using graphics::PlotCounter;
using protocol::InputReport;

const QRgb White = qRgb(255, 255, 255);
const QRgb Black = qRgb(0, 0, 0);

// A point report: every point at (x, y) except those given.
InputReport Points(std::uint8_t x, std::uint8_t y, std::initializer_list<std::array<std::uint8_t, 3>> some = {}) {
    InputReport r{};
    for (int i = 0; i < 32; ++i) {
        r[2 * i] = x;
        r[2 * i + 1] = y;
    }
    for (const auto& [index, px, py] : some) {
        r[2 * index] = px;
        r[2 * index + 1] = py;
    }
    return r;
}

// The board's acknowledgement of a job request.
InputReport Ack() {
    InputReport r{};
    r[protocol::InputJobAck] = 1;
    return r;
}

class PlotWindow : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        graphics::ResetPlotState();
        ASSERT_TRUE(Folder.isValid());
        Board = StartAttached();
        protocol::StartFolder = Folder.path();
        Plot = std::make_unique<graphics::TForm2>();
        Sent = Bus.Written(Board).size();
    }

    void TearDown() override {
        Plot.reset();
        graphics::ResetPlotState();
        MainWindowTest::TearDown();
    }

    // Attach sent the state report with the light on; a plot asks for its job.
    static std::vector<std::uint8_t> StateWithJobRequest(std::uint8_t request) {
        return Report({0, 0, 0, 1, request});
    }
    static std::vector<std::uint8_t> Request(std::uint8_t digits3, std::uint8_t digits4) {
        return Report({0x20, 4, digits3, digits4, 3, 0xFB});
    }

    // Reports written since the last call.
    TWire NewlySent() {
        const TWire all = Bus.Written(Board);
        TWire fresh(all.begin() + static_cast<std::ptrdiff_t>(Sent), all.end());
        Sent = all.size();
        return fresh;
    }

    // "Random", then the board's acknowledgement: the plot runs.
    void StartRunning() {
        Form->RandClick();
        ASSERT_TRUE(Plot->isVisible());
        Deliver(Board, Ack());
        NewlySent();
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
    void ExpectButtons(bool pause, bool resume) const {
        EXPECT_EQ(Plot->Button1->isEnabled(), pause) << "Пауза";
        EXPECT_EQ(Plot->Button2->isEnabled(), resume) << "Дальше";
    }

    QTemporaryDir Folder;
    int Board = 0;
    std::size_t Sent = 0;
    std::unique_ptr<graphics::TForm2> Plot;
};

TEST_F(PlotWindow, PlotsPausesResumesAndStopsOnTheWire) {
    Form->RandClick();
    EXPECT_TRUE(Plot->isVisible());
    EXPECT_EQ(NewlySent(), TWire{StateWithJobRequest(1)});
    EXPECT_TRUE(QFile::exists(FileNamed("plot-20260305-090507.bin")));
    EXPECT_EQ(Pixel(0, 0), White);
    ExpectButtons(false, false);

    // The acknowledgement brings the first request, the counter unchanged.
    Deliver(Board, Ack());
    EXPECT_EQ(NewlySent(), TWire{Request(0x00, 0x00)});
    ExpectButtons(true, false);

    // Counter 0: counted, not painted; the request carries the digits of 1.
    Deliver(Board, Points(0, 0));
    EXPECT_EQ(NewlySent(), TWire{Request(0x00, 0x10)});
    EXPECT_EQ(BlackPixels(), 0);

    const InputReport painted = Points(0, 0, {{7, 255, 255}, {8, 10, 20}});
    Deliver(Board, painted);
    EXPECT_EQ(NewlySent(), TWire{Request(0x00, 0x20)});
    EXPECT_EQ(Pixel(0, 0), Black);
    EXPECT_EQ(Pixel(1023, 511), Black);
    EXPECT_EQ(Pixel(10, 20), Black);
    EXPECT_EQ(BlackPixels(), 8 + 2) << "every tile's origin (points 8 to 31 go round again), (1023, 511), (10, 20)";

    // Paused: every report answered, nothing painted, written or counted.
    QTest::mouseClick(Plot->Button1, Qt::LeftButton);
    ExpectButtons(false, true);
    Deliver(Board, Points(100, 100));
    Deliver(Board, Points(101, 101));
    EXPECT_EQ(NewlySent(), (TWire{Request(0x00, 0x20), Request(0x00, 0x20)}));
    EXPECT_EQ(Pixel(100, 100), White);
    EXPECT_EQ(PlotCounter, 2);

    QTest::mouseClick(Plot->Button2, Qt::LeftButton);
    ExpectButtons(true, false);
    const InputReport resumed = Points(50, 60);
    Deliver(Board, resumed);
    EXPECT_EQ(NewlySent(), TWire{Request(0x00, 0x30)});
    EXPECT_EQ(Pixel(50, 60), Black);

    // Closing the window stops the plot; the board's next acknowledgement
    // ends the job there and closes the file.
    Plot->close();
    EXPECT_FALSE(Plot->isVisible());
    Deliver(Board, Points(0, 1));  // byte 6, the acknowledgement, is 0
    EXPECT_EQ(NewlySent(), TWire{}) << "no acknowledgement yet";
    Deliver(Board, Ack());
    EXPECT_EQ(NewlySent(), (TWire{Report({0, 4, 0x00, 0x30, 3, 0xFB}), StateWithJobRequest(0)}));
    EXPECT_FALSE(protocol::PlotPending);
    EXPECT_FALSE(graphics::PlotFile.IsOpen());
    QByteArray expected;
    for (const InputReport* report : {&painted, &resumed}) {
        for (int i = 0; i < 32; ++i) expected.append(char((*report)[2 * i + 1])).append(char((*report)[2 * i]));
    }
    EXPECT_EQ(Contents(FileNamed("plot-20260305-090507.bin")), expected);

    // Status reports are shown again; a second plot gets a new file and a
    // white surface, and its counter goes on.
    Deliver(Board, Status(1023, 0));
    EXPECT_EQ(Form->Bar1->value(), 1023);
    Form->RandClick();
    EXPECT_EQ(NewlySent(), TWire{StateWithJobRequest(1)});
    EXPECT_EQ(graphics::PlotFile.FileName(), FileNamed("plot-20260305-090507-2.bin"));
    EXPECT_EQ(BlackPixels(), 0);
    Deliver(Board, Ack());
    EXPECT_EQ(NewlySent(), TWire{Request(0x00, 0x30)});
    EXPECT_TRUE(Seams.Boxes.empty());
}

TEST_F(PlotWindow, CounterWrapsAfter65535AndTheReportAtZeroIsNotPainted) {
    PlotCounter = 65535;
    StartRunning();
    Deliver(Board, Points(3, 3));
    EXPECT_EQ(PlotCounter, 0);
    EXPECT_EQ(Pixel(3, 3), Black) << "painted at 65535";
    Deliver(Board, Points(4, 4));
    EXPECT_EQ(Pixel(4, 4), White) << "not painted at 0";
    EXPECT_EQ(NewlySent(), (TWire{Request(0x00, 0x00), Request(0x00, 0x10)}));
}

TEST_F(PlotWindow, AnotherJobInHandRefusesThePlotWithTheBusyBox) {
    protocol::FlashErasePending = true;
    Seams.BoxAnswers = {desktop::TMsgResult::Ok};
    Form->RandClick();
    EXPECT_TRUE(Plot->isVisible()) << "the window shows, idle";
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QString::fromUtf8(protocol::BoardBusyText));
    EXPECT_EQ(NewlySent(), TWire{});
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
void PrintTo(const TEndCase& c, std::ostream* os) { *os << c.Name; }

class PlotEnds : public PlotWindow, public ::testing::WithParamInterface<TEndCase> {};

TEST_P(PlotEnds, ClosesTheFileComplete) {
    StartRunning();
    Deliver(Board, Points(1, 2));
    Deliver(Board, Points(5, 6));
    NewlySent();
    if (GetParam().Detach) {
        UnplugAndScan(Board);
        EXPECT_EQ(NewlySent(), TWire{});
    } else {
        EXPECT_TRUE(Form->close());
        // The host leaves, and asks for no job any more.
        EXPECT_EQ(NewlySent(), TWire{Report({0, 0, 0, 2, 0})});
    }
    EXPECT_FALSE(protocol::PlotPending || protocol::PlotRunning || protocol::JobActive);
    EXPECT_FALSE(graphics::PlotFile.IsOpen());
    EXPECT_FALSE(Plot->isVisible());
    QByteArray expected;
    for (int i = 0; i < 32; ++i) expected.append(char(6)).append(char(5));
    EXPECT_EQ(Contents(FileNamed("plot-20260305-090507.bin")), expected);
    ExpectButtons(false, false);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, PlotEnds,
    ::testing::Values(TEndCase{"Detach", true}, TEndCase{"MainWindowCloses", false}),
    [](const ::testing::TestParamInfo<TEndCase>& info) { return std::string(info.param.Name); });

struct TTroubleCase {
    const char* Name;
    bool FolderMissing;
    const char* Told;
};
void PrintTo(const TTroubleCase& c, std::ostream* os) { *os << c.Name; }

class PlotFileTrouble : public PlotWindow, public ::testing::WithParamInterface<TTroubleCase> {};

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
    StartRunning();
    for (std::uint8_t i = 1; i <= 3; ++i) Deliver(Board, Points(i, i));
    QTest::mouseClick(Plot->Button1, Qt::LeftButton);  // the pause writes out what is buffered
    QTest::mouseClick(Plot->Button2, Qt::LeftButton);
    Deliver(Board, Points(9, 9));
    EXPECT_TRUE(Plot->Label1->text().startsWith(QString::fromUtf8(GetParam().Told))) << Plot->Label1->text().toStdString();
    EXPECT_EQ(Pixel(9, 9), Black) << "still painted";
    Plot->close();
    Deliver(Board, Ack());
    EXPECT_TRUE(Seams.Boxes.empty()) << "told once, in the window";
}

INSTANTIATE_TEST_SUITE_P(
    Troubles, PlotFileTrouble,
    ::testing::Values(TTroubleCase{"FolderTakesNoFile", true, "Не удалось создать файл записи"},
                      TTroubleCase{"DiskRefusesWrites", false, "Ошибка записи в файл"}),
    [](const ::testing::TestParamInfo<TTroubleCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace lumidra::testing
