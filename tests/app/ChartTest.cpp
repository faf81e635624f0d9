// The chart window on the board model: what the board sent is what the ring
// keeps and a save writes; pause, spans, zoom and dragging change what is
// shown, never what is recorded.
#include "tests/app/MainWindowFixture.h"

#include "app/AllPanels.h"
#include "app/session/Language.h"
#include "desktop/Widgets.h"
#include "graphics/ChartWindow.h"
#include "keybase/KeyBaseFile.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QPushButton>
#include <QWheelEvent>

namespace lumidra::testing {
namespace {

class ChartOnModel : public MainWindowModelTest {
protected:
    void SetUp() override {
        MainWindowModelTest::SetUp();
        graphics::ChartClock = [this] { return Now; };
        StartWithModel();
        Chart = std::make_unique<graphics::TChartWindow>();
        Chart->show();
    }
    void TearDown() override {
        Chart.reset();
        MainWindowModelTest::TearDown();
    }
    // `count` status reports, `stepMs` apart.
    void Reports(int count, std::int64_t stepMs = 1) {
        for (int i = 0; i < count; ++i, Now += stepMs) Board->Step();
    }
    static const graphics::TChartRing& Ring() { return graphics::ChartRecording(); }
    QString Saved(const char* name) {
        Seams.DialogAnswers.push_back(QDir(Folder.path()).filePath(QString::fromLatin1(name)));
        QTest::mouseClick(Chart->SaveButton, Qt::LeftButton);
        return QDir(Folder.path()).filePath(QString::fromLatin1(name));
    }
    QPoint Middle() const { return Chart->Plot->rect().center(); }
    void Wheel(int notches) {
        QWheelEvent wheel(Middle(), Chart->Plot->mapToGlobal(Middle()), {}, {0, 120 * notches}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(Chart->Plot, &wheel);
    }

    std::int64_t Now = 5000;
    QTemporaryDir Folder;
    std::unique_ptr<graphics::TChartWindow> Chart;
};

TEST_F(ChartOnModel, KeepsAndSavesWhatTheBoardSent) {
    auto& model = Board->Model();
    model.SetChannel(1, 511);
    model.SetChannel(2, 1023);
    model.SetInputs(0b0101);
    Reports(1, 2);
    model.PresentKey({0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF});
    Reports(2, 1);
    model.RemoveKey();
    model.SetChannel(1, 1023);
    model.SetInputs(0b1000);
    Reports(1);

    ASSERT_EQ(Ring().Size(), 4u);
    const std::int64_t times[] = {0, 2, 3, 4};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Ring()[i].TimeMs, times[i]) << i;
    EXPECT_EQ(Ring()[0].Channel1, 511);
    EXPECT_EQ(Ring()[0].Channel2, 1023);
    EXPECT_EQ(Ring()[0].Inputs, 0b0101);
    EXPECT_TRUE(Ring()[1].KeyStart);
    EXPECT_FALSE(Ring()[2].KeyStart);
    EXPECT_FALSE(Ring()[3].Key);
    EXPECT_EQ(Ring()[3].Channel1, 1023);

    Chart->Span->setCurrentIndex(0);
    const QString file = Saved("span.csv");
    EXPECT_EQ(Seams.Boxes.size(), 0u);
    EXPECT_EQ(keybase::ReadWholeFile(file), QByteArray("time_ms,channel1_percent,channel2_percent,inputs_1234,key\r\n"
                                                       "0,49,100,1010,\r\n"
                                                       "2,49,100,1010,0123456789ABCDEF\r\n"
                                                       "3,49,100,1010,0123456789ABCDEF\r\n"
                                                       "4,100,100,0001,\r\n"));
    // Watching changes nothing on the wire.
    ExpectNoViolations();
}

TEST_F(ChartOnModel, PauseHoldsThePictureWhileRecordingGoesOn) {
    Reports(10);
    QTest::mouseClick(Chart->PauseButton, Qt::LeftButton);
    EXPECT_EQ(Chart->PauseButton->text(), QStringLiteral("Дальше"));
    const auto shown = Chart->Plot->ShownSamples();
    Reports(10);
    EXPECT_EQ(Ring().Size(), 20u);
    EXPECT_EQ(Chart->Plot->ShownSamples(), shown);

    QTest::mouseClick(Chart->PauseButton, Qt::LeftButton);
    EXPECT_EQ(Chart->Plot->ShownSamples().second, 20u);
}

TEST_F(ChartOnModel, SpansShowTheirTime) {
    Reports(30, 1000);  // 30 s
    Chart->Span->setCurrentIndex(0);
    const auto [first, last] = Chart->Plot->ShownSamples();
    EXPECT_EQ(last - first, 10u);
    Chart->Span->setCurrentIndex(2);
    EXPECT_EQ(Chart->Plot->ShownSamples(), std::make_pair(std::size_t{0}, std::size_t{30}));
}

// 40 s into a 10-minute span: the span starts at 0, the lines take its left
// part, the rest shows nothing under the pointer; the time is written as the
// UI's language writes numbers.
TEST_F(ChartOnModel, UntilASpanHasPassedItStartsAtZero) {
    const app::TTranslations russian(app::TLanguage::Russian);
    Reports(40, 1000);
    Chart->Span->setCurrentIndex(2);
    EXPECT_EQ(Chart->Plot->ShownEnd(), 600'000);
    EXPECT_EQ(Chart->Plot->ShownSamples(), std::make_pair(std::size_t{0}, std::size_t{40}));
    const int width = Chart->Plot->width();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[1-3]?[0-9],000 с · канал 1: "))
                    .match(Chart->Plot->ValueAt(width / 10))
                    .hasMatch())
        << Chart->Plot->ValueAt(width / 10).toStdString();
    EXPECT_EQ(Chart->Plot->ValueAt(width / 2), QString()) << "no sample there";
}

// Opened with the main window: beside it, or where both title bars show; the
// main window stays in front with the focus.
TEST_F(ChartOnModel, OpensBesideTheMainWindowWhichKeepsTheFocus) {
    Chart->hide();
    desktop::ShowBeside(*Chart, *Form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    EXPECT_EQ(QApplication::activeWindow(), Form.get());
    const QRect main = Form->frameGeometry();
    const QRect chart = Chart->frameGeometry();
    EXPECT_TRUE(!chart.intersects(main) || chart.top() < main.top()) << "the chart's title bar shows";
}

TEST_F(ChartOnModel, WheelZoomsAroundThePointerAndDraggingScrollsBack) {
    Reports(300, 200);  // a minute, five reports a second
    const QString under = Chart->Plot->ValueAt(Middle().x());
    ASSERT_FALSE(under.isEmpty());
    Wheel(2);
    EXPECT_LT(Chart->Plot->Range().DurationMs, 60'000);
    EXPECT_EQ(Chart->Plot->ValueAt(Middle().x()), under);
    EXPECT_TRUE(Chart->PauseButton->isChecked()) << "the picture holds";

    Wheel(-2);
    const QString left = Chart->Plot->ValueAt(Middle().x() - 100);
    QTest::mousePress(Chart->Plot, Qt::LeftButton, {}, Middle() - QPoint(100, 0));
    QTest::mouseMove(Chart->Plot, Middle());
    QTest::mouseRelease(Chart->Plot, Qt::LeftButton, {}, Middle());
    EXPECT_EQ(Chart->Plot->ValueAt(Middle().x()), left) << "the picture moved with the pointer";
    EXPECT_EQ(Chart->PointerValue->text(), left);
}

TEST_F(ChartOnModel, TheAllPanelsMenuOpensIt) {
    Chart->hide();
    app::ShowAllPanels(*Form);
    auto* entry = Form->MenuN1->findChild<QAction*>(QStringLiteral("Chart"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    EXPECT_TRUE(Chart->isVisible());
}

TEST_F(ChartOnModel, SavesAPictureAndTellsAFailure) {
    Reports(100);
    const QString picture = Saved("chart.png");
    EXPECT_EQ(QImage(picture).size(), Chart->Plot->size());

    Seams.DialogAnswers.push_back(QDir(Folder.path()).filePath(QStringLiteral("gone/chart.csv")));
    Seams.BoxAnswers.push_back(desktop::TMsgResult::Ok);
    QTest::mouseClick(Chart->SaveButton, Qt::LeftButton);
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_TRUE(Seams.Boxes[0].Text.contains(QStringLiteral("chart.csv")));
}

}  // namespace
}  // namespace lumidra::testing
