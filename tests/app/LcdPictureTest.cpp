// The LCD picture in the real window: Send Image loads a file into the
// preview and sends it to the board, the splash screen waits behind its box,
// and the conversion tools write their tables. Reports are compared whole,
// files byte for byte.
#include "tests/app/MainWindowFixture.h"
#include "tests/app/FileTestSupport.h"
#include "tests/graphics/BmpFile.h"

#include "graphics/ConversionTools.h"
#include "graphics/ImageTransfer.h"
#include "graphics/Preview.h"
#include "keybase/KeyBaseText.h"
#include "protocol/JobCut.h"
#include "protocol/JobGuard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <map>

namespace lumidra::testing {
namespace {

using namespace graphics;
using desktop::TMsgIcon;
using protocol::DataReport;
using protocol::StateReport;

class LcdPicture : public MainWindowModelTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(Dir.isValid());
    }

    QString Path(const QString& name) const { return Dir.filePath(name); }

    void Attach() {
        StartWithModel();
        Board->ClearWritten();
    }

    // Chooses `file` in the picture dialog that Send Image shows.
    void SendImage(const std::optional<QString>& file) {
        Seams.DialogAnswers.push_back(file);
        Form->Button4->click();
    }

    void ExpectPreview(const TPicture& picture) const {
        const QImage& shown = Form->Image1->Picture();
        ASSERT_EQ(shown.size(), QSize(96, 68));
        for (int y = 0; y < 68; ++y) {
            for (int x = 0; x < 96; ++x) {
                ASSERT_EQ(shown.pixelColor(x, y), picture.IsSet(x, y) ? QColor(0, 0, 0) : QColor(207, 207, 207))
                    << x << "," << y;
            }
        }
    }

    QTemporaryDir Dir;
};

// The whole image job: request, then on the acknowledgement one JobReport,
// fourteen DataReports and the StateReport that ends the request.
TEST_F(LcdPicture, ImageJobSendsThePreviewInNineBands) {
    Attach();
    const auto file = MakeBmp(PatternPicture());
    WriteFile(Path("pattern.bmp"), file);
    Board->Model().DelayAcks(1);
    SendImage(Path("pattern.bmp"));
    ASSERT_EQ(Seams.Dialogs.size(), 1u);
    EXPECT_EQ(Seams.Dialogs[0].Kind, desktop::TFileDialogKind::OpenPicture);
    EXPECT_EQ(Seams.Dialogs[0].Filter, QStringLiteral("Рисунок BMP|*.bmp|Все файлы|*.*"));
    ExpectPreview(PatternPicture());
    EXPECT_EQ(Board->Written(), (TWire{Report({0, 0, 0, 1, 1})}));
    EXPECT_TRUE(std::equal(DataReport.begin() + 1, DataReport.end(), file.begin())) << "the header is kept";

    ASSERT_TRUE(Board->Step());  // not yet acknowledged: held back
    EXPECT_EQ(Board->Written().size(), 1u);
    ASSERT_TRUE(Board->RunJob());

    const auto bands = ImageBandBytes(PatternPicture());
    TWire expected{Report({0, 0, 0, 1, 1}), Report({2})};
    std::vector<std::uint8_t> data(65, 0);
    for (std::size_t at = 0; at < bands.size(); at += 64) {
        // The last report is half new: bytes 33 to 64 repeat the report before.
        std::copy_n(bands.begin() + std::ptrdiff_t(at), std::min<std::size_t>(64, bands.size() - at), data.begin() + 1);
        expected.push_back(data);
    }
    ASSERT_EQ(expected.size(), 16u);
    EXPECT_TRUE(std::equal(expected[15].begin() + 33, expected[15].end(), bands.begin() + 800));
    expected.push_back(Report({0, 0, 0, 1, 0}));
    EXPECT_EQ(Board->Written(), expected);
    EXPECT_FALSE(protocol::ImageSendPending);
    // The board's LCD shows what the preview shows.
    const boardmodel::TLcd& lcd = Board->Model().Lcd();
    EXPECT_EQ(lcd.Shows, boardmodel::TLcdContent::Picture);
    const TPicture preview = PreviewPicture(*Form->Image1);
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) ASSERT_EQ(boardmodel::LcdDot(lcd, x, y), preview.IsSet(x, y)) << x << "," << y;
    ExpectNoViolations();
}

TEST_F(LcdPicture, DoubleClickOnThePreviewIsSendImage) {
    Attach();
    Seams.DialogAnswers.push_back(std::nullopt);
    QTest::mouseDClick(Form->Image1, Qt::LeftButton);
    EXPECT_EQ(Seams.Dialogs.size(), 1u);
    EXPECT_TRUE(Seams.DialogAnswers.empty());
    EXPECT_TRUE(Board->Written().empty()) << "cancelled: nothing happens";
    ExpectPreview(TPicture{});
}

TEST_F(LcdPicture, WithoutABoardThePictureIsOnlyShown) {
    StartAndScan();
    WriteFile(Path("pattern.bmp"), MakeBmp(PatternPicture()));
    Seams.DialogAnswers.push_back(Path("pattern.bmp"));
    Form->SendImage1Click();
    ExpectPreview(PatternPicture());
    EXPECT_FALSE(protocol::ImageSendPending);
    EXPECT_EQ(StateReport[5], 0);
}

// On screen every dot is a 2 x 2 square of its own colour, nothing blended.
TEST_F(LcdPicture, PreviewIsShownDoubledWithoutSmoothing) {
    StartAndScan();
    ShowPicture(*Form->Image1, Pixels({{10, 5}}));
    const QImage screen = Form->Image1->grab().toImage();
    for (int y = 9; y <= 12; ++y) {
        for (int x = 19; x <= 22; ++x) {
            const bool dot = x >= 20 && x <= 21 && y >= 10 && y <= 11;
            EXPECT_EQ(screen.pixelColor(x, y), dot ? QColor(0, 0, 0) : QColor(207, 207, 207)) << x << "," << y;
        }
    }
}

TEST_F(LcdPicture, SendImageRefusesBeforeItsDialogWhileAJobWaits) {
    Attach();
    protocol::FlashWritePending = true;
    DataReport.fill(0xA5);
    Seams.BoxAnswers.push_back(desktop::TMsgResult::Ok);
    Form->Button4->click();
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QString::fromUtf8(protocol::BoardBusyText));
    EXPECT_TRUE(Seams.Dialogs.empty());
    protocol::OutputReport untouched;
    untouched.fill(0xA5);
    EXPECT_EQ(DataReport, untouched);
    EXPECT_TRUE(Board->Written().empty());
}

// A file the loader refuses: one message, the preview and the board as they were.
struct TBadFile {
    const char* Name;
    std::function<QString(const QString& dir)> Make;  // the name to choose
    const char* Text;
    bool ErrorBox;  // an error box; otherwise a plain message
};

class LcdPictureBadFile : public LcdPicture, public ::testing::WithParamInterface<TBadFile> {};

QString Written(const QString& dir, const char* name, std::vector<std::uint8_t> bytes) {
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    WriteFile(path, bytes);
    return path;
}

TEST_P(LcdPictureBadFile, EndsWithAMessageAndChangesNothing) {
    Attach();
    ShowPicture(*Form->Image1, PatternPicture());
    if (GetParam().ErrorBox) Seams.BoxAnswers.push_back(desktop::TMsgResult::Ok);
    SendImage(GetParam().Make(Dir.path()));
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QString::fromUtf8(GetParam().Text));
    EXPECT_EQ(Seams.Boxes[0].Plain, !GetParam().ErrorBox);
    if (GetParam().ErrorBox) {
        EXPECT_EQ(Seams.Boxes[0].Icon, TMsgIcon::Error);
    }
    ExpectPreview(PatternPicture());
    EXPECT_TRUE(Board->Written().empty());
    EXPECT_FALSE(protocol::ImageSendPending);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LcdPictureBadFile,
    ::testing::Values(
        TBadFile{"HeightMinus68", [](const QString& d) { return Written(d, "top.bmp", MakeBmp({}, {.Height = -68})); },
                 NotLcdPictureText, false},
        TBadFile{"TenBytes", [](const QString& d) { return Written(d, "ten.bmp", std::vector<std::uint8_t>(10, 'B')); },
                 PictureTooShortText, true},
        TBadFile{"Folder",
                 [](const QString& d) {
                     QDir(d).mkdir(QStringLiteral("pictures.bmp"));
                     return QDir(d).filePath(QStringLiteral("pictures.bmp"));
                 },
                 PictureUnreadableText, true},
        TBadFile{"LastRowCut",
                 [](const QString& d) {
                     auto bytes = MakeBmp(PatternPicture());
                     bytes.pop_back();
                     return Written(d, "cut.bmp", bytes);
                 },
                 PictureCutText, true},
        // 2 GB, sparse: only the header and the rows it names are read.
        TBadFile{"TwoGigabytesRowsPastTheEnd",
                 [](const QString& d) {
                     constexpr qint64 Size = qint64(1) << 31;
                     auto header = MakeBmp({});
                     PutLe32(header, 10, std::uint32_t(Size - 100));
                     const QString path = Written(d, "huge.bmp", header);
                     QFile file(path);
                     EXPECT_TRUE(file.resize(Size));
                     return path;
                 },
                 PictureCutText, true}),
    [](const auto& test) { return std::string(test.param.Name); });

// The splash screen: the board shows it while the box is open, and the box
// holds back every further report.
TEST_F(LcdPicture, SplashJobWaitsBehindItsBox) {
    Attach();
    Board->Model().DelayAcks(1);
    Form->Zast_Out->trigger();
    EXPECT_EQ(Board->Written(), (TWire{Report({0, 0, 0, 1, 1})}));
    ASSERT_TRUE(Board->Step());
    EXPECT_TRUE(Seams.Boxes.empty()) << "no message before the acknowledgement";
    EXPECT_TRUE(protocol::LcdTextPending);

    bool boxSeen = false;
    Seams.OnBox = [&](const QString&) {
        boxSeen = true;
        EXPECT_EQ(Board->Written(), (TWire{Report({0, 0, 0, 1, 1}), Report({8, 2})}));
        EXPECT_EQ(Board->Model().Lcd().Shows, boardmodel::TLcdContent::Splash);
        const auto status = Status(1023, 0);
        std::vector<std::uint8_t> report(1 + status.size(), 0);  // report ID 0, then the payload
        std::copy(status.begin(), status.end(), report.begin() + 1);
        Bus.Feed(Board->Id(), std::move(report));
        QTest::qWait(50);
        EXPECT_EQ(Form->Label5->text(), QStringLiteral("Канал 1 : 0%")) << "held back while the box is open";
    };
    ASSERT_TRUE(Board->Step());  // the acknowledgement
    ASSERT_TRUE(boxSeen);
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QStringLiteral("Выводится заставка, для продолжения жми \"ОК\"."));
    EXPECT_TRUE(Seams.Boxes[0].Plain);
    EXPECT_FALSE(protocol::LcdTextPending);
    EXPECT_EQ(StateReport[5], 0) << "cleared, sent with the next StateReport";
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->Label5->text() == QStringLiteral("Канал 1 : 100%"); }, 5000));
    EXPECT_EQ(Board->Written(), (TWire{Report({0, 0, 0, 1, 1}), Report({8, 2}), Report({0, 2})}));
    EXPECT_EQ(Board->Model().JobState(), boardmodel::TJobState::Idle);
    ExpectNoViolations();
}

// The cable goes while the splash box is open and the window takes a second
// board with the board's identity: the end of the splash job is the first
// board's, so the second one receives nothing when the box closes.
TEST_F(LcdPicture, SplashBoxOutlivingItsBoardSendsTheOtherBoardNothing) {
    Attach();
    ModelBoard second(Bus);
    Form->Zast_Out->trigger();
    Seams.OnBox = [&](const QString& text) {
        if (text != QString::fromUtf8(SplashShownText)) return;
        const std::size_t before = Scans();
        Board->Unplug();
        WaitForScanAfter(before);
        EXPECT_NE(protocol::AttachedDevice, nullptr) << "the second board taken in the same re-scan";
        EXPECT_TRUE(app::BoardAttached);
    };
    ASSERT_TRUE(Board->Step());  // the acknowledgement
    // The splash's box, and while it is open the cut, told once.
    ASSERT_EQ(Seams.Boxes.size(), 2u);
    EXPECT_EQ(Seams.Boxes[1].Text, QString::fromUtf8(protocol::JobCutUnpluggedText));
    EXPECT_FALSE(protocol::LcdTextPending);
    Settle();
    EXPECT_EQ(second.Written(), TWire{}) << "nothing of the first board's job";
    EXPECT_EQ(second.Model().Violations(), std::vector<std::string>{});
}

// --- the conversion tools ------------------------------------------------------

QByteArray Repeat(int count, const QByteArray& line) {
    return line.repeated(count);
}

enum class TTool { Strip, Font, Splash };

struct TTableRun {
    const char* Name;
    TPicture Picture;
    TTool Tool;
    const char* Chosen;
    std::map<QString, QByteArray> Files;  // what the folder holds afterwards
    const char* Message;
    bool ErrorBox = false;
};

class ConversionTool : public LcdPicture, public ::testing::WithParamInterface<TTableRun> {};

TEST_P(ConversionTool, WritesItsFilesWhole) {
    const TTableRun& c = GetParam();
    StartAndScan();
    // A data file already there that a refused name must leave alone.
    WriteFile(Path("screen.bin"), {'o', 'l', 'd'});
    ShowPicture(*Form->Image1, c.Picture);
    if (c.ErrorBox) Seams.BoxAnswers.push_back(desktop::TMsgResult::Ok);
    Seams.DialogAnswers.push_back(Path(QString::fromLatin1(c.Chosen)));
    // The dialog is the key base's too: its title stays as that left it.
    Form->SaveDialog1.Title = QStringLiteral("Сохранение базы ключей :");
    QAction* tool[] = {Form->Trans_Pict, Form->Trans_Type, Form->Zast};
    tool[int(c.Tool)]->trigger();

    ASSERT_EQ(Seams.Dialogs.size(), 1u);
    EXPECT_EQ(Seams.Dialogs[0].Filter, QStringLiteral("Текстовый файл|*.txt|Все файлы|*.*"));
    EXPECT_EQ(Seams.Dialogs[0].Title, QStringLiteral("Сохранение базы ключей :"));
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text.left(QString::fromUtf8(c.Message).size()), QString::fromUtf8(c.Message));
    EXPECT_EQ(Seams.Boxes[0].Plain, !c.ErrorBox);

    std::map<QString, QByteArray> files{{QStringLiteral("screen.bin"), "old"}};
    for (const auto& [name, bytes] : c.Files) files[name] = bytes;
    const QStringList present = QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(present.size(), qsizetype(files.size())) << present.join(QLatin1Char(' ')).toStdString();
    for (const auto& [name, bytes] : files) EXPECT_EQ(FileBytes(Path(name)), bytes) << name.toStdString();

    // The memo keeps the table just written.
    const auto table = c.Files.find(QString::fromLatin1(c.Chosen));
    if (table != c.Files.end() && !table->second.isEmpty()) {
        const QString memo = Form->Memo1->toPlainText() + QLatin1Char('\n');
        EXPECT_EQ(QByteArray::fromStdString(keybase::EncodeKeyBaseFile(memo.toStdU16String()).Bytes), table->second);
    }
}

const QByteArray Zeros16 = "        DB" + Repeat(15, " 0x00,") + " 0x00\r\n";
QByteArray SplashData() {
    QByteArray data(384, '\0');
    data[0] = 0x01;
    data[383] = char(0x80);
    return data;
}
const QByteArray SplashText = "        DB 0x01," + Repeat(14, " 0x00,") + " 0x00\r\n" + Repeat(22, Zeros16) +
                              "        DB" + Repeat(15, " 0x00,") + " 0x80\r\n";
const TPicture SplashCorners = Pixels({{0, 16}, {95, 47}});

INSTANTIATE_TEST_SUITE_P(
    Tables, ConversionTool,
    ::testing::Values(
        TTableRun{"StripOnePixel",
                  Pixels({{10, 0}}),
                  TTool::Strip,
                  "strip.txt",
                  {{"strip.txt",
                    "ST_8    DB 0x01, 0x00\r\n\r\nST_4    DB 0x00, 0x00\r\n\r\n"
                    "        ; \xD1\xF2\xF0\xEE\xEA\xE0 = 2 \xE1\xE0\xE9\xF2(\xE0).\r\n"}},
                  StripSavedText},
        TTableRun{"StripBlankWritesNothing", TPicture{}, TTool::Strip, "strip.txt", {}, NoStripText},
        TTableRun{"FontBlankIsAnEmptyFile", TPicture{}, TTool::Font, "font.txt", {{"font.txt", ""}}, FontSavedText},
        TTableRun{"FontOneGlyph",
                  Pixels({{0, 0}}),
                  TTool::Font,
                  "font.txt",
                  {{"font.txt", "        DB 0x01," + Repeat(18, " 0x00,") + " 0x00\r\n"}},
                  FontSavedText},
        TTableRun{"SplashTxtGivesBin",
                  SplashCorners,
                  TTool::Splash,
                  "screen.txt",
                  {{"screen.txt", SplashText}, {"screen.bin", SplashData()}},
                  SplashSavedText},
        TTableRun{"SplashNoExtensionGivesScrbin",
                  SplashCorners,
                  TTool::Splash,
                  "screen",
                  {{"screen", SplashText}, {"scrbin", SplashData()}},
                  SplashSavedText},
        TTableRun{"SplashShortNameStaysInItsFolder",
                  SplashCorners,
                  TTool::Splash,
                  "ab",
                  {{"ab", SplashText}, {"bin", SplashData()}},
                  SplashSavedText},
        TTableRun{"SplashBinNameRefused", SplashCorners, TTool::Splash, "screen.bin", {}, SplashSameFileText},
        TTableRun{"SplashIntoAMissingFolder",
                  SplashCorners,
                  TTool::Splash,
                  "gone/screen.txt",
                  {},
                  TableNotWrittenText,
                  true}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
