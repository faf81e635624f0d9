// The output and LCD groups against the board model: every report the board
// receives from the LED and indicator sends and from the contrast, command
// and text jobs, request and step, what the board shows afterwards, and what
// the two edits make of typed keys.
#include "tests/app/MainWindowFixture.h"

#include <QApplication>
#include <QKeyEvent>

#include <functional>
#include <string>

namespace lumidra::testing {
namespace {

using app::TForm1;
using protocol::DataReport;
using TPayload = std::vector<std::uint8_t>;

// A 65-byte report: byte 0, then `payload` from byte 1 on, then `rest`.
std::vector<std::uint8_t> Wired(const TPayload& payload, std::uint8_t rest = 0) {
    std::vector<std::uint8_t> report(protocol::OutputReportSize, rest);
    report[0] = 0;
    std::copy(payload.begin(), payload.end(), report.begin() + 1);
    return report;
}

// StateReport after attach (backlight on) with the digits, mode and job request given.
std::vector<std::uint8_t> State(std::uint8_t right, std::uint8_t left, std::uint8_t mode, std::uint8_t request) {
    return Wired({right, left, mode, protocol::CommandLightOn, request});
}
std::vector<std::uint8_t> State(std::uint8_t request) {
    return State(0, 0, 0, request);
}

// A command job from its request: job code 4, the bytes (the rest of
// DataReport as the case left it), the request withdrawn.
TWire CommandTrace(const TPayload& bytes, std::uint8_t rest = 0) {
    return {State(1), Wired({4}), Wired(bytes, rest), State(0)};
}

// A text job from its request: job code 8 and the mode, the screen (padded
// or cut to 128) in two reports, 64 blanks more in mode 0, the request withdrawn.
TWire TextTrace(std::uint8_t mode, std::string screen) {
    screen.resize(mode == 0 ? 192 : 128, ' ');
    screen.replace(128, std::string::npos, std::string(screen.size() - 128, ' '));
    TWire trace{State(1), Wired({8, mode})};
    for (std::size_t at = 0; at < screen.size(); at += 64) {
        const std::string part = screen.substr(at, 64);
        trace.push_back(Wired(TPayload(part.begin(), part.end())));
    }
    trace.push_back(State(0));
    return trace;
}

// Typed characters, as the keyboard delivers them to a focused edit.
void Type(QWidget* edit, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, c == QChar(u'\t') ? Qt::Key_Tab : Qt::Key_unknown, Qt::NoModifier, c);
        QApplication::sendEvent(edit, &press);
    }
}

class OutputControls : public MainWindowModelTest {
protected:
    void SetUp() override {
        MainWindowModelTest::SetUp();
        StartWithModel();
        Board->ClearWritten();
    }
};

// --- the wire ---------------------------------------------------------------------------

using TAck = std::function<void()>;
using TAct = std::function<void(TForm1&, const TAck&)>;
using TShows = std::function<void(const boardmodel::TBoardModel&)>;
struct TWireCase {
    const char* Name;
    TAct Act;
    TWire Wire;
    TShows Shows = nullptr;                   // what the board shows afterwards, when it matters
    const char* Contrast = "Contrast : 41%";  // the label afterwards (attach leaves 41%)
    std::size_t Boxes = 0;
};
void PrintTo(const TWireCase& c, std::ostream* os) {
    *os << c.Name;
}

class Wire : public OutputControls, public ::testing::WithParamInterface<TWireCase> {};

TEST_P(Wire, EveryReportAsSent) {
    Seams.BoxAnswers.assign(GetParam().Boxes, desktop::TMsgResult::Ok);
    // The board acknowledges the job request, takes the step's reports and
    // is back to status reports.
    GetParam().Act(*Form, [this] { EXPECT_TRUE(Board->RunJob()); });
    ExpectWire(GetParam().Wire);
    if (GetParam().Shows) GetParam().Shows(Board->Model());
    EXPECT_EQ(Form->ContrastLabel->text(), QString::fromUtf8(GetParam().Contrast));
    EXPECT_EQ(Seams.Boxes.size(), GetParam().Boxes);
    EXPECT_FALSE(protocol::LcdCommandPending || protocol::LcdTextPending);
    ExpectNoViolations();
}

TShows ShowsLed(std::string text) {
    return [=](const boardmodel::TBoardModel& board) { EXPECT_EQ(boardmodel::LedText(board.Led()), text); };
}

TShows ShowsContrast(std::uint8_t level) {
    return [=](const boardmodel::TBoardModel& board) { EXPECT_EQ(board.Lcd().Contrast, level); };
}

TShows ShowsCommand(TPayload bytes) {
    return [=](const boardmodel::TBoardModel& board) { EXPECT_EQ(board.Lcd().LastCommand, bytes); };
}

// A text job of `button` for `text`, with or without wrap (the text is read
// when the board answers, not at the click): the wire and the board's screen.
TWireCase SendText(const char* name, QPushButton* Ui::TForm1::*button, QString text, bool wrap, std::string screen) {
    const std::uint8_t mode = button == &TForm1::Button8 ? 0 : 1;
    const TAct act = [=](TForm1& f, const TAck& ack) {
        f.Perenos->setChecked(wrap);
        f.EditTxt->setText(QStringLiteral("stale"));
        (f.*button)->click();
        f.EditTxt->setText(text);
        ack();
    };
    screen.resize(128, ' ');
    const TShows shows = [=](const boardmodel::TBoardModel& board) {
        EXPECT_EQ(std::string(board.Lcd().Text.begin(), board.Lcd().Text.end()), screen);
        EXPECT_EQ(board.Lcd().TextMode, mode);
    };
    return {name, act, TextTrace(mode, screen), shows};
}

TAct SendCommand(QString line) {
    return [=](TForm1& f, const TAck& ack) {
        DataReport.fill(0x55);  // an earlier payload: the bytes after the end byte keep it
        f.EditCmd->setText(line);
        f.Button7->click();
        ack();
    };
}

// A Flash-ROM write waits with its block in DataReport: `start` must leave all as it is.
TAct WhileFlashWriteWaits(std::function<void(TForm1&)> start) {
    return [=](TForm1& f, const TAck&) {
        protocol::FlashWritePending = true;
        DataReport.fill(0x5A);
        const protocol::OutputReport data = DataReport, job = protocol::JobReport;
        f.EditCmd->setText(QStringLiteral("AE"));
        start(f);
        EXPECT_EQ(DataReport, data);
        EXPECT_EQ(protocol::JobReport, job);
    };
}

// The scripted clock reads 9:05:07 on 5 March 2026.
INSTANTIATE_TEST_SUITE_P(Controls, Wire,
                         ::
                             testing::
                                 Values(
                                     TWireCase{"ValueFourDigits",
                                               [](TForm1& f, auto&) { f.Edit1->setText("ABCD"), f.Button1->click(); },
                                               {State(0xCD, 0xAB, 0x00, 0)},
                                               ShowsLed("ABCD")},
                                     // Pasted past the key filter: the digits' codes are the board's code page's.
                                     TWireCase{"PastedCyrillicValue",
                                               [](TForm1& f, auto&) { f.Edit1->setText("ФФФФ"), f.Button1->click(); },
                                               {State(0x6D, 0x6D, 0x00, 0)}},
                                     TWireCase{"CommandLineWithoutAPairWhileBusySaysNothing",
                                               [](TForm1& f, auto&) {
                                                   f.Erase_Flash->trigger(), f.EditCmd->setText(" z"),
                                                       f.Button7->click();
                                               },
                                               {State(0, 0, 0x00, 1)}},
                                     TWireCase{"EnterSendsOneDigit",
                                               [](TForm1& f, auto&) { f.Edit1->setText("7"), Type(f.Edit1, "\r"); },
                                               {State(0x07, 0x00, 0x00, 0)},
                                               ShowsLed("0007")},
                                     TWireCase{"DateThenTime",
                                               [](TForm1& f, auto&) { f.Button3->click(), f.Button2->click(); },
                                               {State(0x03, 0x05, 0x02, 0), State(0x05, 0x09, 0x03, 0)},
                                               ShowsLed("09:05")},
                                     TWireCase{
                                         "Ind2InDateMode",
                                         [](TForm1& f, auto&) { f.Button3->click(), f.CheckBox2->setChecked(true); },
                                         {State(0x03, 0x05, 0x02, 0), State(0x03, 0x05, 0x82, 0)},
                                         [](const boardmodel::TBoardModel& board) {
                                             EXPECT_EQ(boardmodel::LedText(board.Led()), "05.03");
                                             EXPECT_TRUE(board.Led().Indicator2);
                                         }},
                                     TWireCase{
                                         "ValueKeepsIndicator1",
                                         [](TForm1& f, auto&) {
                                             f.CheckBox1->setChecked(true), f.Button2->click(), f.Button1->click();
                                         },
                                         {State(0, 0, 0x04, 0), State(0x05, 0x09, 0x07, 0), State(0x00, 0x00, 0x04, 0)},
                                         [](const boardmodel::TBoardModel& board) {
                                             EXPECT_TRUE(board.Led().Indicator1);
                                         }},
                                     TWireCase{"Contrast13",
                                               [](TForm1& f, const TAck& ack) {
                                                   f.ContrastBar->setValue(0), ack(), f.ContrastBar->setValue(13),
                                                       ack();
                                               },
                                               [] {
                                                   TWire w = CommandTrace({0xAD, 0x80, 0xE3}),
                                                         second = CommandTrace({0xAD, 0x8D, 0xE3});
                                                   w.insert(w.end(), second.begin(), second.end());
                                                   return w;
                                               }(),
                                               ShowsContrast(13)},
                                     TWireCase{
                                         "Contrast31",
                                         [](TForm1& f, const TAck& ack) { f.ContrastBar->setValue(31), ack(); },
                                         CommandTrace({0xAD, 0x9F, 0xE3}), ShowsContrast(31), "Contrast : 100%"},
                                     TWireCase{"ContrastMovesWhileACommandWaitsIgnored",
                                               [](TForm1& f, const TAck& ack) {
                                                   f.ContrastBar->setValue(20), f.ContrastBar->setValue(25);
                                                   EXPECT_EQ(f.ContrastLabel->text(), "Contrast : 64%");
                                                   ack(), f.ContrastBar->setValue(26), ack();
                                               },
                                               [] {
                                                   TWire w = CommandTrace({0xAD, 0x94, 0xE3}),
                                                         next = CommandTrace({0xAD, 0x9A, 0xE3});
                                                   w.insert(w.end(), next.begin(), next.end());
                                                   return w;
                                               }(),
                                               ShowsContrast(26), "Contrast : 83%"},
                                     TWireCase{
                                         "ContrastDisabled",
                                         [](TForm1& f,
                                            auto&) { f.ContrastBar->setEnabled(false), f.ContrastBar->setValue(3); },
                                         {}},
                                     TWireCase{"CommandLine",
                                               SendCommand("ae 2f,0x40"), CommandTrace({0xAE, 0x2F, 0x04, 0xE3}, 0x55),
                                               ShowsCommand({0xAE, 0x2F, 0x04})},
                                     TWireCase{"Command128Digits", SendCommand(QString(128, u'f')),
                                               CommandTrace(TPayload(64, 0xFF)), ShowsCommand(TPayload(64, 0xFF))},
                                     TWireCase{"CommandWithoutAPair", SendCommand("x 7"), {}},
                                     TWireCase{"SecondCommandBeforeTheAnswerReplacesTheFirst",
                                               [](TForm1& f, const TAck& ack) {
                                                   f.EditCmd->setText("01"), f.Button7->click(),
                                                       f.EditCmd->setText("02 03"), f.Button7->click(), ack();
                                               },
                                               {State(1), State(1), Wired({4}), Wired({0x02, 0x03, 0xE3}), State(0)},
                                               ShowsCommand({0x02, 0x03})},
                                     SendText("TextWrappedNormalSize", &TForm1::Button8, "ABCDEFGHIJ KLMNOPQRST", true,
                                              "ABCDEFGHIJ      KLMNOPQRST"),
                                     SendText("TextUnwrappedLargeSize", &TForm1::Button9, "ABCDEFGHIJ KLMNOPQRST",
                                              false, "ABCDEFGHIJ KLMNOPQRST"),
                                     SendText("EmptyTextIs192Blanks", &TForm1::Button8, "", true, ""),
                                     SendText("EmptyTextIs128Blanks", &TForm1::Button9, "", true, ""),
                                     SendText("TextInWindows1251", &TForm1::Button9, "Привет ☺€", true,
                                              "\xCF\xF0\xE8\xE2\xE5\xF2 ?\x88"),
                                     SendText("GrownTextCutAt128", &TForm1::Button8, QString("WWWWWWWWW ").repeated(30),
                                              true, QString("WWWWWWWWW       ").repeated(8).toStdString()),
                                     // A simple send never waits for a job: the request goes out with it.
                                     TWireCase{"SendTimeWhileATextJobWaits",
                                               [](TForm1& f, const TAck& ack) {
                                                   f.Button8->click(), f.Button2->click(), ack();
                                               },
                                               [] {
                                                   TWire w = TextTrace(0, "");
                                                   w.insert(w.begin() + 1, State(0x05, 0x09, 0x03, 1));
                                                   w.back() = State(0x05, 0x09, 0x03, 0);
                                                   return w;
                                               }(),
                                               ShowsLed("09:05")},
                                     TWireCase{"BusyCommandLine",
                                               WhileFlashWriteWaits([](TForm1& f) { f.Button7->click(); }),
                                               {},
                                               {},
                                               "Contrast : 41%",
                                               1},
                                     TWireCase{"BusyText",
                                               WhileFlashWriteWaits([](TForm1& f) { f.Button9->click(); }),
                                               {},
                                               {},
                                               "Contrast : 41%",
                                               1},
                                     TWireCase{"BusyContrastQuiet",
                                               WhileFlashWriteWaits([](TForm1& f) { f.ContrastBar->setValue(20); }),
                                               {}}),
                         [](const auto& test) { return std::string(test.param.Name); });

// --- keys of the two edits (the filter itself has its own tests) ----------------------------

struct TKeysCase {
    const char* Name;
    QLineEdit* Ui::TForm1::*Edit;
    QString Before;
    bool Selected;
    QString Typed, After;
    int Beeps;
};
void PrintTo(const TKeysCase& c, std::ostream* os) {
    *os << c.Name;
}

class EditKeys : public OutputControls, public ::testing::WithParamInterface<TKeysCase> {};

TEST_P(EditKeys, TypedCharactersFiltered) {
    QLineEdit* edit = (*Form).*GetParam().Edit;
    edit->setText(GetParam().Before);
    if (GetParam().Selected) edit->selectAll();
    Type(edit, GetParam().Typed);
    EXPECT_EQ(edit->text(), GetParam().After);
    EXPECT_EQ(Seams.Beeps, GetParam().Beeps);
    EXPECT_TRUE(Board->Written().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, EditKeys,
    ::testing::Values(TKeysCase{"MappedDigitReplacesTheSelection", &TForm1::Edit1, "1234", true, "ф", "A", 0},
                      TKeysCase{"RefusedKeysRing", &TForm1::Edit1, "1234", false, "g5", "1234", 2},
                      TKeysCase{"EscClears", &TForm1::Edit1, "12", false, "\x1b", "", 0},
                      TKeysCase{"TabIsNoTypedCharacter", &TForm1::Edit1, "12", false, "\t", "12", 0},
                      TKeysCase{"TextLineTakesAnyCharacter", &TForm1::EditTxt, "Hi ", false, "gж", "Hi gж", 0},
                      TKeysCase{"EscEmptiesTheTextLine", &TForm1::EditTxt, "Привет", false, "\x1b", "", 0}),
    [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
