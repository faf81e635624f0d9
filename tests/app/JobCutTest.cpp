// A job belongs to the board it was asked of. Two boards of the board's
// identity are plugged; when either goes, the one in use is handed back and
// the re-scan takes a board again: the job ends on its own board if that is
// the one taken, and nowhere otherwise; the operator is told once, the file
// of a transfer is untouched, and the next job works at once.
#include "tests/app/MainWindowFixture.h"
#include "tests/app/FileTestSupport.h"
#include "tests/graphics/BmpFile.h"

#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "protocol/JobCut.h"

#include <QDir>
#include <QTemporaryDir>

namespace lumidra::testing {
namespace {

class JobCut : public MainWindowModelTest {
protected:
    void SetUp() override {
        MainWindowModelTest::SetUp();
        StartWithModelIn(Dir);
        Plot = std::make_unique<graphics::TForm2>();
        const std::size_t scans = Scans();
        Twin.emplace(Bus);
        WaitForScanAfter(scans);
        Board->ClearWritten();
    }
    void TearDown() override {
        Form.reset();
        Twin.reset();
        Plot.reset();
        MainWindowModelTest::TearDown();
    }

    QString Path(const char* name) const { return Dir.filePath(QString::fromLatin1(name)); }
    void Choose(QAction* command, const QString& file) {
        Seams.DialogAnswers.push_back(file);
        command->trigger();
    }
    // The board's answer to the host's last request went out while the cables
    // changed, and nobody read it.
    void AnswerLost() { ASSERT_TRUE(Board->Model().NextReport().has_value()); }
    void Pull(ModelBoard& board) {
        const std::size_t scans = Scans();
        board.Unplug();
        WaitForScanAfter(scans);
    }
    void ExpectToldOnce(const char* text) const {
        ASSERT_EQ(Seams.Boxes.size(), 1u);
        EXPECT_EQ(Seams.Boxes[0].Text, QString::fromUtf8(text));
    }
    void ExpectNoJob(ModelBoard& board) {
        EXPECT_FALSE(protocol::BoardBusy(protocol::TJob::FlashErase));
        EXPECT_EQ(board.Model().JobState(), boardmodel::TJobState::Idle);
        EXPECT_EQ(board.Model().Violations(), std::vector<std::string>{});
    }
    void StartDump() {
        WriteFile(Path("dump.bin"), QByteArray("the operator's old dump"));
        Choose(Form->ReadDUMP1, Path("dump.bin"));
        for (int slot = 0; slot < 4; ++slot) ASSERT_TRUE(Board->Step());  // ack, blocks 0 to 2
        AnswerLost();
        Board->ClearWritten();
    }
    void ExpectDumpWorks(ModelBoard& board) {
        Seams.Boxes.clear();
        Choose(Form->ReadDUMP1, Path("dump.bin"));
        ASSERT_TRUE(board.RunJob());
        const auto& memory = board.Model().Memory();
        EXPECT_EQ(FileBytes(Path("dump.bin")),
                  QByteArray(reinterpret_cast<const char*>(memory.data()), qsizetype(memory.size())));
    }

    QTemporaryDir Dir;
    std::unique_ptr<graphics::TForm2> Plot;
    std::optional<ModelBoard> Twin;
};

TEST_F(JobCut, ADumpEndsOnItsBoardWhenTheTwinGoes) {
    StartDump();
    Pull(*Twin);
    // JobReport code 0, the offset of the block last asked for kept.
    ExpectWire({Report({0, 0xC0, 0x00})});
    ExpectToldOnce(protocol::JobCutReconnectedText);
    EXPECT_EQ(FileBytes(Path("dump.bin")), QByteArray("the operator's old dump"));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"dump.bin"});
    ExpectNoJob(*Board);
    ExpectDumpWorks(*Board);
}

TEST_F(JobCut, AnUnacknowledgedImageJobIsWithdrawnWhenTheTwinGoes) {
    WriteFile(Path("picture.bmp"), MakeBmp(PatternPicture()));
    Choose(Form->SendImage1, Path("picture.bmp"));
    Board->ClearWritten();
    Pull(*Twin);
    ExpectWire({Report({0, 0, 0, 1, 0})});  // StateReport byte 5 = 0, nothing else
    ExpectToldOnce(protocol::JobCutReconnectedText);
    ExpectNoJob(*Board);

    Choose(Form->SendImage1, Path("picture.bmp"));
    ASSERT_TRUE(Board->RunJob());
    EXPECT_EQ(Board->Model().Lcd().Shows, boardmodel::TLcdContent::Picture);
}

TEST_F(JobCut, APlotEndsOnItsBoardAndItsWindowShowsItStopped) {
    Form->RandClick();
    ASSERT_TRUE(Board->Step());  // the acknowledgement: the first request
    ASSERT_TRUE(Board->Step());  // point report 0: counted, not painted
    ASSERT_TRUE(Board->Step());  // point report 1: painted and recorded
    AnswerLost();
    Board->ClearWritten();
    Pull(*Twin);
    ExpectWire({Report({0, 4, 0x00, 0x20, 3, 0xFB}), Report({0, 0, 0, 1, 0})});
    ExpectToldOnce(protocol::JobCutReconnectedText);
    ExpectNoJob(*Board);
    EXPECT_TRUE(Plot->isVisible());
    EXPECT_FALSE(Plot->Button1->isEnabled() || Plot->Button2->isEnabled());
    EXPECT_FALSE(graphics::PlotFile.IsOpen());
    const QStringList records = QDir(Dir.path()).entryList({QStringLiteral("plot-*.bin")});
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(FileBytes(Dir.filePath(records[0])).size(), 64) << "the one painted report";

    Plot->close();
    Form->RandClick();
    ASSERT_TRUE(Board->Step());
    // The re-attached reader's first read may be the one Step() saw start:
    // the acknowledgement is then handled a turn of the loop later.
    EXPECT_TRUE(QTest::qWaitFor([] { return protocol::JobActive && protocol::PlotRunning; }, 5000));
}

TEST_F(JobCut, AJobWhoseBoardGoesSendsNothingToTheTwinTakenInstead) {
    StartDump();
    Pull(*Board);
    EXPECT_EQ(Twin->Written(), TWire{}) << "nothing of the job, and no attach: the window stays attached";
    ExpectToldOnce(protocol::TransferCutText);
    EXPECT_EQ(FileBytes(Path("dump.bin")), QByteArray("the operator's old dump"));
    ExpectNoJob(*Twin);
    ExpectDumpWorks(*Twin);
}

}  // namespace
}  // namespace lumidra::testing
