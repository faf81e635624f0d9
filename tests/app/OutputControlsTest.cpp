// The output and LCD groups on the wire: the LED display and indicator sends,
// the hexadecimal entry's keys, and the contrast, command and text jobs from
// their request to the board's acknowledgement and their step.
#include "tests/app/MainWindowFixture.h"

#include "protocol/JobGuard.h"

#include <QApplication>
#include <QKeyEvent>

#include <functional>
#include <string>

namespace lumidra::testing {
namespace {

using app::TForm1;
using TPayload = std::vector<std::uint8_t>;

// A 65-byte report: byte 0, then `payload` from byte 1 on, then `rest`.
std::vector<std::uint8_t> Wired(const TPayload& payload, std::uint8_t rest = 0) {
    std::vector<std::uint8_t> report(protocol::OutputReportSize, rest);
    report[0] = 0;
    std::copy(payload.begin(), payload.end(), report.begin() + 1);
    return report;
}
std::vector<std::uint8_t> WiredText(const std::string& text) {
    return Wired(TPayload(text.begin(), text.end()));
}

// The window's StateReport after attach: backlight on, digits and mode as given.
std::vector<std::uint8_t> State(std::uint8_t right, std::uint8_t left, std::uint8_t mode, std::uint8_t request) {
    return Wired({right, left, mode, protocol::CommandLightOn, request});
}
std::vector<std::uint8_t> State(std::uint8_t request) {
    return State(0, 0, 0, request);
}

// Typed characters, as the keyboard delivers them to a focused edit.
void Type(QWidget* edit, const QString& text) {
    for (const QChar c : text) {
        const int key = c == QChar(u'\r')   ? Qt::Key_Return
                        : c == QChar(27)     ? Qt::Key_Escape
                        : c == QChar(u'\b') ? Qt::Key_Backspace
                        : c == QChar(u'\t') ? Qt::Key_Tab
                                            : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
    }
}

class OutputControls : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Board = StartAttached();
        Bus.ClearWritten(Board);
    }

    TWire Sent() const { return Bus.Written(Board); }
    // The board acknowledges the job request.
    void Ack() { Deliver(Board, Status(0, 0, 0, 0, {}, 1)); }

    int Board = 0;
};

// --- LED display and indicators -------------------------------------------------

struct TLedCase {
    const char* Name;
    std::function<void(TForm1&)> Act;
    TWire Wire;
};
void PrintTo(const TLedCase& c, std::ostream* os) {
    *os << c.Name;
}

class LedSends : public OutputControls, public ::testing::WithParamInterface<TLedCase> {};

TEST_P(LedSends, StateReportAsTheDisplayShowsIt) {
    GetParam().Act(*Form);
    EXPECT_EQ(Sent(), GetParam().Wire);
    EXPECT_TRUE(Seams.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, LedSends,
    ::testing::Values(
        TLedCase{"ValueFourDigits",
                 [](TForm1& f) {
                     f.Edit1->setText(QStringLiteral("ABCD"));
                     f.Button1->click();
                 },
                 {State(0xCD, 0xAB, 0x00, 0)}},
        TLedCase{"ValueOneDigit",
                 [](TForm1& f) {
                     f.Edit1->setText(QStringLiteral("7"));
                     f.Button1->click();
                 },
                 {State(0x07, 0x00, 0x00, 0)}},
        TLedCase{"EnterInTheEntrySends",
                 [](TForm1& f) {
                     f.Edit1->setText(QStringLiteral("12"));
                     Type(f.Edit1, QStringLiteral("\r"));
                 },
                 {State(0x12, 0x00, 0x00, 0)}},
        // The scripted clock reads 9:05:07 on 5 March 2026.
        TLedCase{"Time", [](TForm1& f) { f.Button2->click(); }, {State(0x05, 0x09, 0x03, 0)}},
        TLedCase{"Date", [](TForm1& f) { f.Button3->click(); }, {State(0x03, 0x05, 0x02, 0)}},
        TLedCase{"TimeAfterDate",
                 [](TForm1& f) {
                     f.Button3->click();
                     f.Button2->click();
                 },
                 {State(0x03, 0x05, 0x02, 0), State(0x05, 0x09, 0x03, 0)}},
        TLedCase{"DateAfterTime",
                 [](TForm1& f) {
                     f.Button2->click();
                     f.Button3->click();
                 },
                 {State(0x05, 0x09, 0x03, 0), State(0x03, 0x05, 0x02, 0)}},
        TLedCase{"Ind2InDateMode",
                 [](TForm1& f) {
                     f.Button3->click();
                     f.CheckBox2->setChecked(true);
                 },
                 {State(0x03, 0x05, 0x02, 0), State(0x03, 0x05, 0x82, 0)}},
        TLedCase{"ValueKeepsIndicator1",
                 [](TForm1& f) {
                     f.CheckBox1->setChecked(true);
                     f.Button2->click();
                     f.Edit1->setText(QStringLiteral("0"));
                     f.Button1->click();
                 },
                 {State(0, 0, 0x04, 0), State(0x05, 0x09, 0x07, 0), State(0x00, 0x00, 0x04, 0)}},
        // A simple send never waits for a job: the request goes out with it.
        TLedCase{"SendWhileATextJobWaits",
                 [](TForm1& f) {
                     f.Button8->click();
                     f.Button2->click();
                 },
                 {State(1), State(0x05, 0x09, 0x03, 1)}}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- keys of the two edits ------------------------------------------------------------

struct TKeysCase {
    const char* Name;
    QLineEdit* Ui::TForm1::*Edit;
    QString Before;
    bool SelectAll;
    QString Typed;
    QString After;
    int Beeps;
};
void PrintTo(const TKeysCase& c, std::ostream* os) {
    *os << c.Name;
}

class EditKeys : public OutputControls, public ::testing::WithParamInterface<TKeysCase> {};

TEST_P(EditKeys, TypedCharactersFiltered) {
    QLineEdit* edit = (*Form).*GetParam().Edit;
    edit->setText(GetParam().Before);
    if (GetParam().SelectAll) edit->selectAll();
    Type(edit, GetParam().Typed);
    EXPECT_EQ(edit->text(), GetParam().After);
    EXPECT_EQ(Seams.Beeps, GetParam().Beeps);
    EXPECT_TRUE(Sent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, EditKeys,
    ::testing::Values(
        TKeysCase{"CyrillicOnTheKeysAToD", &TForm1::Edit1, "", false, "фИсв", "ABCD", 0},
        TKeysCase{"CyrillicOnTheKeysEAndF", &TForm1::Edit1, "", false, "Уа", "EF", 0},
        TKeysCase{"LowerCaseUpCased", &TForm1::Edit1, "", false, "a1f", "A1F", 0},
        TKeysCase{"OtherLetterRingsTheBell", &TForm1::Edit1, "1", false, "gж ", "1", 3},
        TKeysCase{"FifthDigitRefused", &TForm1::Edit1, "1234", false, "5", "1234", 1},
        TKeysCase{"FifthDigitReplacesTheSelection", &TForm1::Edit1, "1234", true, "ф", "A", 0},
        TKeysCase{"BackspaceWhenFull", &TForm1::Edit1, "1234", false, "\b", "123", 0},
        TKeysCase{"EscClears", &TForm1::Edit1, "12", false, "\x1b", "", 0},
        TKeysCase{"TabIsNoTypedCharacter", &TForm1::Edit1, "12", false, "\t", "12", 0},
        TKeysCase{"TextLineTakesAnyCharacter", &TForm1::EditTxt, "Hi ", false, "gжф1", "Hi gжф1", 0},
        TKeysCase{"EscEmptiesTheTextLine", &TForm1::EditTxt, "Привет", false, "\x1b", "", 0}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- contrast -----------------------------------------------------------------------

struct TContrastCase {
    int Level;
    std::uint8_t Command;
    const char* Label;
};
void PrintTo(const TContrastCase& c, std::ostream* os) {
    *os << "Level" << c.Level;
}

class ContrastJob : public OutputControls, public ::testing::WithParamInterface<TContrastCase> {};

TEST_P(ContrastJob, RequestThenCommandOnTheAcknowledgement) {
    const TContrastCase& c = GetParam();
    if (Form->ContrastBar->value() == c.Level) {  // attach left it at 13
        Form->ContrastBar->setValue(c.Level + 1);
        Ack();
        Bus.ClearWritten(Board);
    }
    protocol::DataReport.fill(0x55);
    Form->ContrastBar->setValue(c.Level);
    EXPECT_EQ(Form->ContrastLabel->text(), QString::fromUtf8(c.Label));
    EXPECT_EQ(Sent(), (TWire{State(1)}));
    Ack();
    EXPECT_EQ(Sent(), (TWire{State(1), Wired({4}), Wired({0xAD, c.Command, 0xE3}, 0x55), State(0)}));
    EXPECT_FALSE(protocol::LcdCommandPending);
}

INSTANTIATE_TEST_SUITE_P(Levels, ContrastJob,
                         ::testing::Values(TContrastCase{0, 0x80, "Contrast : 0%"},
                                           TContrastCase{13, 0x8D, "Contrast : 41%"},
                                           TContrastCase{31, 0x9F, "Contrast : 100%"}),
                         [](const auto& info) { return "Level" + std::to_string(info.param.Level); });

TEST_F(OutputControls, ContrastMovesWhileACommandWaitsAreIgnored) {
    Form->ContrastBar->setValue(20);
    Form->ContrastBar->setValue(25);
    EXPECT_EQ(Form->ContrastLabel->text(), QStringLiteral("Contrast : 64%"));
    Ack();
    Form->ContrastBar->setValue(26);
    EXPECT_EQ(Form->ContrastLabel->text(), QStringLiteral("Contrast : 83%"));
    const TWire wire = Sent();
    ASSERT_EQ(wire.size(), 5u);
    EXPECT_EQ(wire[2][2], 0x80 + 20) << "the level of the first move";
    EXPECT_EQ(wire[4], State(1));

    // Disabled (as the window's reset leaves it), a move sends nothing either.
    Ack();
    Bus.ClearWritten(Board);
    Form->ContrastBar->setEnabled(false);
    Form->ContrastBar->setValue(3);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Form->ContrastLabel->text(), QStringLiteral("Contrast : 83%"));
}

// --- command line ---------------------------------------------------------------------

struct TCommandCase {
    const char* Name;
    QString Line;
    TPayload Data;  // empty: nothing happens
};
void PrintTo(const TCommandCase& c, std::ostream* os) {
    *os << c.Name;
}

class CommandJob : public OutputControls, public ::testing::WithParamInterface<TCommandCase> {};

TEST_P(CommandJob, BytesGoOutOnTheAcknowledgement) {
    protocol::DataReport.fill(0x55);  // an earlier payload: bytes after the end byte keep it
    Form->EditCmd->setText(GetParam().Line);
    Form->Button7->click();
    Ack();
    if (GetParam().Data.empty()) {
        EXPECT_TRUE(Sent().empty());
        EXPECT_FALSE(protocol::LcdCommandPending);
        return;
    }
    EXPECT_EQ(Sent(), (TWire{State(1), Wired({4}), Wired(GetParam().Data, 0x55), State(0)}));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandJob,
    ::testing::Values(TCommandCase{"BlanksCommaAndPrefix", "ae 2f,0x40", {0xAE, 0x2F, 0x04, 0xE3}},
                      TCommandCase{"AllSixtyFourBytesNoEnd", QString(128, QLatin1Char('f')), TPayload(64, 0xFF)},
                      TCommandCase{"NoCompletePair", "x 7", {}}, TCommandCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OutputControls, SecondCommandBeforeTheAcknowledgementReplacesTheFirst) {
    Form->EditCmd->setText(QStringLiteral("01"));
    Form->Button7->click();
    Form->EditCmd->setText(QStringLiteral("02 03"));
    Form->Button7->click();
    Ack();
    Ack();  // no job left: a plain status report
    EXPECT_EQ(Sent(), (TWire{State(1), State(1), Wired({4}), Wired({0x02, 0x03, 0xE3}), State(0)}));
    EXPECT_TRUE(Seams.Boxes.empty());
}

// --- text screen ----------------------------------------------------------------------

struct TTextCase {
    const char* Name;
    QString Text;
    bool Wrap;
    QPushButton* Ui::TForm1::*Button;
    std::string Screen;  // 1251 bytes before the padding to 128
};
void PrintTo(const TTextCase& c, std::ostream* os) {
    *os << c.Name;
}

class TextJob : public OutputControls, public ::testing::WithParamInterface<TTextCase> {};

TEST_P(TextJob, ScreenGoesOutOnTheAcknowledgement) {
    const TTextCase& c = GetParam();
    Form->Perenos->setChecked(c.Wrap);
    Form->EditTxt->setText(QStringLiteral("stale"));
    ((*Form).*c.Button)->click();
    Form->EditTxt->setText(c.Text);  // the text is read when the board answers
    Ack();
    const std::uint8_t mode = c.Button == &TForm1::Button8 ? 0 : 1;
    std::string screen = c.Screen;
    screen.resize(std::max<std::size_t>(screen.size(), 128), ' ');
    TWire expected{State(1), Wired({8, mode}), WiredText(screen.substr(0, 64)), WiredText(screen.substr(64, 64))};
    if (mode == 0) expected.push_back(WiredText(std::string(64, ' ')));
    expected.push_back(State(0));
    EXPECT_EQ(Sent(), expected);
    EXPECT_FALSE(protocol::LcdTextPending);
}

std::string Times(const std::string& unit, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += unit;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextJob,
    ::testing::Values(
        TTextCase{"WrapMovesTheCutWord", "ABCDEFGHIJ KLMNOPQRST", true, &TForm1::Button8, "ABCDEFGHIJ      KLMNOPQRST"},
        TTextCase{"WithoutWrap", "ABCDEFGHIJ KLMNOPQRST", false, &TForm1::Button9, "ABCDEFGHIJ KLMNOPQRST"},
        TTextCase{"BlankAfterAFullLineDropped", "ABCDEFGHIJKLMNOP QRS", true, &TForm1::Button9, "ABCDEFGHIJKLMNOPQRS"},
        TTextCase{"EmptyNormalSize", "", true, &TForm1::Button8, ""},
        TTextCase{"EmptyLargeSize", "", true, &TForm1::Button9, ""},
        TTextCase{"Windows1251AndUnencodable", "Привет ☺€", true, &TForm1::Button9,
                  "\xCF\xF0\xE8\xE2\xE5\xF2 ?\x88"},
        TTextCase{"GrownTextCutAt128", QString::fromStdString(Times("WWWWWWWWW ", 30)), true, &TForm1::Button8,
                  Times("WWWWWWWWW       ", 8)}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- a busy board ---------------------------------------------------------------------

struct TBusyCase {
    const char* Name;
    std::function<void(TForm1&)> Start;
    bool Box;
};
void PrintTo(const TBusyCase& c, std::ostream* os) {
    *os << c.Name;
}

class BusyBoard : public OutputControls, public ::testing::WithParamInterface<TBusyCase> {};

TEST_P(BusyBoard, StarterRefusedWhileAFlashWriteWaits) {
    // A Flash-ROM write waits for its acknowledgement with its block in DataReport.
    protocol::FlashWritePending = true;
    protocol::StateReport[5] = 1;
    protocol::DataReport.fill(0x5A);
    const protocol::OutputReport job = protocol::JobReport;
    Seams.BoxAnswers = {desktop::TMsgResult::Ok};
    Form->EditCmd->setText(QStringLiteral("AE"));
    const QString label = Form->ContrastLabel->text();

    GetParam().Start(*Form);

    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(protocol::DataReport, [] {
        protocol::OutputReport block;
        block.fill(0x5A);
        return block;
    }());
    EXPECT_EQ(protocol::JobReport, job);
    EXPECT_FALSE(protocol::LcdCommandPending || protocol::LcdTextPending);
    EXPECT_EQ(Form->ContrastLabel->text(), label);
    ASSERT_EQ(Seams.Boxes.size(), GetParam().Box ? 1u : 0u);
    if (GetParam().Box) {
        EXPECT_EQ(Seams.Boxes[0].Text, QStringLiteral("Плата занята: дождитесь окончания предыдущей операции."));
        EXPECT_EQ(Seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
        EXPECT_EQ(Seams.Boxes[0].Icon, desktop::TMsgIcon::Warning);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starters, BusyBoard,
    ::testing::Values(TBusyCase{"CommandLine", [](TForm1& f) { f.Button7->click(); }, true},
                      TBusyCase{"TextNormalSize", [](TForm1& f) { f.Button8->click(); }, true},
                      TBusyCase{"TextLargeSize", [](TForm1& f) { f.Button9->click(); }, true},
                      TBusyCase{"ContrastQuietly", [](TForm1& f) { f.ContrastBar->setValue(20); }, false}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace lumidra::testing
