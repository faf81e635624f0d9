// A trace that can no longer be written (its reader went away, its disk is
// full) stops alone: the window tells which and why once, without a box, and
// goes on with the board and its other traces to the closing report.
#include "tests/app/MainWindowFixture.h"

#include "protocol/ProtocolState.h"
#include "protocol/Trace.h"

#include <QFile>

#include <list>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumidra::testing {
namespace {

class TraceStop : public MainWindowModelTest {};

TEST_F(TraceStop, ReaderGoneOrDiskFullStopsThatTraceAndTellsOnce) {
#if defined(_WIN32)
    GTEST_SKIP() << "a FIFO and /dev/full";
#else
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string kept = dir.filePath(QStringLiteral("kept.trace")).toStdString();
    const std::string live = dir.filePath(QStringLiteral("live.pcapng")).toStdString();
    ASSERT_EQ(::mkfifo(live.c_str(), 0600), 0);
    const int reader = ::open(live.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    Board.emplace(Bus, hid::TVirtualBoard{});
    Start();
    std::list<protocol::TTraceFile> traces;
    for (const std::string& name : {kept, live, std::string("/dev/full")}) {
        ASSERT_TRUE(Form->OpenTrace(traces.emplace_back(), name));
    }
    ::close(reader);  // the capture tool is closed: a write now would raise SIGPIPE
    ASSERT_TRUE(QTest::qWaitFor([] { return app::BoardAttached; }, 5000));

    // The window goes on with the board.
    for (const std::uint16_t value : {std::uint16_t{1023}, std::uint16_t{0}, std::uint16_t{1023}}) {
        Board->Model().SetChannel(1, value);
        ASSERT_TRUE(StepShown());
        EXPECT_EQ(Form->Bar1->value(), value);
    }
    ASSERT_EQ(Seams.Notices.size(), 2u) << "once for each trace";
    EXPECT_EQ(Seams.Notices[0],
              QStringLiteral("Трассировка в '%1' остановлена: её читатель закрылся. Остальное работает как прежде.")
                  .arg(QString::fromStdString(live)));
    EXPECT_TRUE(Seams.Notices[1].startsWith(QStringLiteral("Трассировка в '/dev/full' остановлена: ")));
    EXPECT_TRUE(Seams.Boxes.empty()) << "nothing waits for an answer";

    // The closing report goes to the board, and into the trace still kept.
    EXPECT_TRUE(Form->close());
    const TWire wire = Board->Written();
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back()[4], protocol::CommandHostLeaves);
    QFile trace(QString::fromStdString(kept));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = trace.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    const auto withoutTime = [](const std::string& line) { return line.substr(line.find(' ')); };
    EXPECT_EQ(withoutTime(lines[lines.size() - 2].toStdString() + '\n'),
              withoutTime(protocol::TraceLine(0, true, std::span(wire.back()).subspan(1))));
    EXPECT_EQ(Seams.Notices.size(), 2u);
#endif
}

}  // namespace
}  // namespace lumidra::testing
