// Every job run twice against the board model, each from a fresh attach:
// once through the window's handlers, once through lumidra-cli's run. The two
// wires (every output report, whole) and the files written are the same,
// byte for byte.
#include "app/session/AppState.h"
#include "app/session/QtGuiThread.h"
#include "app/Unit1.h"
#include "app/cli/CliRun.h"
#include "graphics/PlotJob.h"
#include "graphics/Unit2.h"
#include "boardmodel/BusBoard.h"
#include "protocol/InputDecode.h"
#include "protocol/JobCut.h"
#include "protocol/ProtocolState.h"
#include "tests/graphics/BmpFile.h"
#include "tests/support/ScriptedSeams.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace lumidra::testing {
namespace {

using TWire = std::vector<std::vector<std::uint8_t>>;

// The plot's length in both programs.
constexpr int PlotReports = 3;

// A model board on its own bus, given a report slot every millisecond from a
// timer, in lock-step with the host: the next report goes out only once the
// host has handled the last one, so both programs see the same reports at
// the same points of their jobs. BeforeSlot runs there, between two reports.
struct TTimedBoard {
    TTimedBoard() : Board(Bus) {
        Slots.setInterval(1);
        QObject::connect(&Slots, &QTimer::timeout, [this] {
            if (fed_ && Bus.CallCount("ReadFileEx") <= readsAtFeed_) return;
            if (BeforeSlot) BeforeSlot();
            readsAtFeed_ = Bus.CallCount("ReadFileEx");
            fed_ = Board.Step();
        });
    }
    hid::VirtualHidBus Bus;
    boardmodel::TBusBoard Board;
    QTimer Slots;
    app::QtGuiThread Gui;
    std::function<void()> BeforeSlot;

private:
    bool fed_ = false;
    std::size_t readsAtFeed_ = 0;
};

struct TRun {
    TWire Wire;
    QByteArray Output;  // the file the job wrote, if any
};

// In the folder: "in.bin" (a Flash-ROM source), "picture.bmp"; jobs write "out.bin".
using TWindowAction = std::function<void(app::TForm1&, ScriptedSeams&, const QTemporaryDir&)>;

struct TJobCase {
    const char* Name;
    std::vector<std::string> Cli;  // "@in", "@picture", "@out" name the folder's files
    TWindowAction Window;
};

QByteArray ReadFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CliSameBytes : public ::testing::TestWithParam<TJobCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        QByteArray source(64, '\0');
        for (int i = 0; i < source.size(); ++i) source[i] = char(0xA0 ^ i);
        QFile in(Dir.filePath(QStringLiteral("in.bin")));
        ASSERT_TRUE(in.open(QIODevice::WriteOnly) && in.write(source) == source.size());
        graphics::TPicture picture;
        for (int i = 0; i < 68; ++i) picture.Set(i, i);
        const std::vector<std::uint8_t> bmp = MakeBmp(picture);
        QFile bmpFile(Dir.filePath(QStringLiteral("picture.bmp")));
        ASSERT_TRUE(bmpFile.open(QIODevice::WriteOnly));
        bmpFile.write(reinterpret_cast<const char*>(bmp.data()), qint64(bmp.size()));
    }
    void TearDown() override { app::ResetRunState(); }

    void Fresh() {
        QFile::remove(Dir.filePath(QStringLiteral("out.bin")));
        app::ResetRunState();
        protocol::StartFolder = Dir.path();
    }

    TRun ThroughWindow(const TWindowAction& action) {
        Fresh();
        ScriptedSeams seams;
        seams.CancelUnscripted = true;
        TTimedBoard board;
        TRun run;
        {
            app::TForm1 form(board.Bus, board.Gui);
            graphics::TForm2 plot;
            // As lumidra-cli's --reports: the window closes once the plot has
            // painted that many reports (the first one is counted, not painted).
            board.BeforeSlot = [&plot] {
                if (protocol::PlotRunning && graphics::PlotCounter > PlotReports) plot.close();
            };
            form.show();
            EXPECT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
            board.Slots.start();
            action(form, seams, Dir);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    return protocol::CurrentJobFlags().Raised() == 0 &&
                           board.Board.Model().JobState() == boardmodel::TJobState::Idle;
                },
                10000));
            form.close();
            run.Wire = board.Board.Written();
            run.Output = ReadFile(Dir.filePath(QStringLiteral("out.bin")));
            if (graphics::PlotFile.IsOpen() || !graphics::PlotFile.FileName().isEmpty()) {
                graphics::PlotFile.Close();
                run.Output = ReadFile(graphics::PlotFile.FileName());
            }
        }
        return run;
    }

    // `prepare` sets the board up before the run; the run ends with `exitCode`.
    TRun ThroughCli(std::vector<std::string> arguments, int exitCode = cli::ExitDone,
                    const std::function<void(TTimedBoard&)>& prepare = {}) {
        Fresh();
        for (std::string& argument : arguments) {
            if (argument.starts_with('@'))
                argument = Dir.filePath(QString::fromStdString(argument.substr(1))).toStdString();
        }
        const cli::TCliParse parse = cli::ParseCliArguments(arguments);
        EXPECT_FALSE(parse.Exit) << parse.Err;
        cli::TConsoleSeams seams;
        seams.Quiet = true;
        desktop::InstallSeams(&seams);
        TTimedBoard board;
        TRun run;
        {
            cli::TCliRun cli(parse.Options, board.Bus, board.Gui, seams);
            EXPECT_EQ(cli.Prepare(), cli::ExitDone);
            if (prepare) prepare(board);
            board.Slots.start();
            EXPECT_EQ(cli.Exec(), exitCode);
            run.Wire = board.Board.Written();
            if (board.Board.Plugged()) {
                EXPECT_EQ(board.Board.Model().JobState(), boardmodel::TJobState::Idle) << "the job ended on the board";
            }
            // A board cut off mid-answer sees the job's end come before its
            // answer: the one thing a silent board is owed.
            if (exitCode == cli::ExitDone) {
                EXPECT_EQ(board.Board.Model().Violations(), std::vector<std::string>{});
            }
        }
        desktop::InstallSeams(nullptr);
        run.Output = ReadFile(Dir.filePath(QStringLiteral("out.bin")));
        return run;
    }

    QTemporaryDir Dir;
};

TEST_P(CliSameBytes, SameWireAndFilesAsTheWindow) {
    const TJobCase& job = GetParam();
    const TRun window = ThroughWindow(job.Window);
    const TRun cli = ThroughCli(job.Cli);
    EXPECT_GE(window.Wire.size(), 3u) << "the attach, the job and the closing report";
    EXPECT_EQ(cli.Wire, window.Wire);
    EXPECT_EQ(cli.Output, window.Output);
}

using CliSilentBoard = CliSameBytes;

// A board that stops answering: after --timeout the job ends on the board as
// its own last step would, or, not yet acknowledged, with the request taken
// back; then the closing report. A cut dump leaves no file.
TEST_F(CliSilentBoard, EndsTheJobOnTheBoardAndFails) {
    const auto lastTwo = [](const TWire& wire) {
        return TWire(wire.end() - std::min<std::size_t>(2, wire.size()), wire.end());
    };
    std::vector<std::uint8_t> jobEnd(65, 0), requestTakenBack(65, 0), closing(65, 0);
    requestTakenBack[4] = 1;  // the light on since the attach, byte 5 (the request) 0
    closing[4] = 2;

    const TRun unacknowledged = ThroughCli({"--timeout", "1", "image", "@picture.bmp"}, cli::ExitFailed,
                                           [](TTimedBoard& board) { board.Board.Model().WithholdAcks(true); });
    EXPECT_EQ(lastTwo(unacknowledged.Wire), (TWire{requestTakenBack, closing}));

    const TRun dump = ThroughCli({"--timeout", "1", "dump", "@out.bin"}, cli::ExitFailed, [](TTimedBoard& board) {
        // Silent after ten report slots: mid-dump.
        QObject::connect(&board.Slots, &QTimer::timeout, [&board, sent = 0]() mutable {
            if (++sent == 10) board.Slots.stop();
        });
    });
    ASSERT_GE(dump.Wire.size(), 4u);
    jobEnd = dump.Wire[dump.Wire.size() - 2];
    EXPECT_EQ(jobEnd[1], 0) << "JobReport code 0 ends the dump on the board";
    EXPECT_EQ(dump.Wire.back(), closing);
    EXPECT_TRUE(dump.Output.isEmpty()) << "no file from a cut dump";
}

QString InDir(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(QString::fromLatin1(name));
}

// A dump whose board is pulled after three blocks: both programs, through the
// session, sent the board the same reports, write no file and tell the same.
TEST_F(CliSameBytes, ACutDumpEndsAlikeInBoth) {
    // The wire as the board saw it until its cable went.
    TWire window, cli;
    const auto pullMidDump = [](TTimedBoard& board, TWire& wire) {
        board.BeforeSlot = [&board, &wire] {
            if (protocol::DumpOffset != 3 * 64 || !board.Board.Plugged()) return;
            wire = board.Board.Written();
            board.Board.Unplug();
        };
    };
    Fresh();
    QString told;
    {
        ScriptedSeams seams;
        TTimedBoard board;
        app::TForm1 form(board.Bus, board.Gui);
        form.show();
        ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));
        pullMidDump(board, window);
        board.Slots.start();
        seams.DialogAnswers.push_back(InDir(Dir, "out.bin"));
        form.ReadDUMP1Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !seams.Boxes.empty(); }, 10000));
        told = seams.Boxes[0].Text;
        form.close();
    }
    EXPECT_EQ(told, QString::fromUtf8(protocol::TransferCutText));
    ::testing::internal::CaptureStderr();
    ThroughCli({"dump", "@out.bin"}, cli::ExitFailed, [&](TTimedBoard& board) { pullMidDump(board, cli); });
    // In the console's code page, as the program writes it.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "lumidra-cli: " + told.toLocal8Bit().toStdString() + "\n");
    EXPECT_GE(window.size(), 5u) << "the attach and the blocks asked for before the pull";
    EXPECT_EQ(cli, window);
    EXPECT_FALSE(QFile::exists(InDir(Dir, "out.bin")));
}

// The window's starter with `file` chosen in its dialog.
TWindowAction WithFile(const char* file, void (app::TForm1::*starter)()) {
    return [file, starter](app::TForm1& form, ScriptedSeams& seams, const QTemporaryDir& dir) {
        seams.DialogAnswers.push_back(InDir(dir, file));
        (form.*starter)();
    };
}

const TJobCase JobCases[] = {
    {"Led",
     {"led", "12AB", "--ind1", "on"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.CheckBox1->setChecked(true);
         form.Edit1->setText(QStringLiteral("12AB"));
         form.Button1Click();
     }},
    {"LedLowerCase",
     {"led", "ab"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.Edit1->setText(QStringLiteral("ab"));  // pasted: not upper-cased by the field
         form.Button1Click();
     }},
    {"LcdCommandLowerCase",
     {"lcd", "command", "ae 2f"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.EditCmd->setText(QStringLiteral("ae 2f"));
         form.Button7Click();
     }},
    {"StandingStateBeforeTheJob",
     {"lcd", "contrast", "5", "--led", "00FF", "--ind2", "on", "--backlight", "off"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.Edit1->setText(QStringLiteral("00FF"));
         form.Button1Click();
         form.CheckBox2->setChecked(true);
         form.CheckLight->setChecked(false);
         form.ContrastBar->setValue(5);
     }},
    {"Backlight",
     {"lcd", "backlight", "off"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) { form.CheckLight->setChecked(false); }},
    {"LcdCommand",
     {"lcd", "command", "AE 2F"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.EditCmd->setText(QStringLiteral("AE 2F"));
         form.Button7Click();
     }},
    {"LcdTextLarge",
     {"lcd", "text", "Hello, board: a line long enough to wrap", "--size", "1.5x"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.EditTxt->setText(QStringLiteral("Hello, board: a line long enough to wrap"));
         form.Button9Click();
     }},
    {"LcdTextNoWrap",
     {"lcd", "text", "Hello, board: a line long enough to wrap", "--no-wrap"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) {
         form.EditTxt->setText(QStringLiteral("Hello, board: a line long enough to wrap"));
         form.Perenos->setChecked(false);
         form.Button8Click();
     }},
    {"Image", {"image", "@picture.bmp"}, WithFile("picture.bmp", &app::TForm1::SendImage1Click)},
    {"Splash",
     {"splash", "--seconds", "1"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) { form.Zast_OutClick(); }},
    {"FlashWrite", {"flash", "write", "@in.bin"}, WithFile("in.bin", &app::TForm1::Write_FlashClick)},
    {"FlashRead", {"flash", "read", "@out.bin"}, WithFile("out.bin", &app::TForm1::Read_FlashClick)},
    {"FlashErase",
     {"flash", "erase"},
     [](app::TForm1& form, ScriptedSeams&, const QTemporaryDir&) { form.Erase_FlashClick(); }},
    {"Dump", {"dump", "@out.bin"}, WithFile("out.bin", &app::TForm1::ReadDUMP1Click)},
    {"Plot",
     {"plot", "--out", "@out.bin", "--reports", "3"},
     [](app::TForm1&, ScriptedSeams&, const QTemporaryDir&) { graphics::ShowPlotWindow(); }},
};

INSTANTIATE_TEST_SUITE_P(Jobs, CliSameBytes, ::testing::ValuesIn(JobCases),
                         [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
}  // namespace lumidra::testing
