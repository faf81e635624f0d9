// The one way both programs write what they make: a product written whole
// (a table, a Flash-ROM block, a dump, a key base) or a stream of records (a
// plot's record, CSV, status lines), into a regular file, standard output, a
// device or a FIFO. Every write is checked; nothing is created, emptied or
// replaced before Open(), and a path that is not a regular file is written
// into, never replaced. Qt Core only: the window and the console share it.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QSaveFile;

namespace lumidra::desktop {

// The name of standard output (of the console program's command line).
inline constexpr const char* StandardOutputName = "-";

// A name no path can have: a whole product is only kept (Kept()), for a
// program that compares it instead of saving it; a stream goes nowhere.
inline const QString KeptInMemory = QString(QChar(0));

// How the last write went. A reader that went away (a closed pipe) is not a
// fault of the data: a pipeline's reader that has seen enough ends it so.
// A write cut by a closing signal is no fault of the data either: the
// signal's end is the run's.
enum class TOutputState { Good, Failed, ClosedPipe, Cut };

class TOutputFile {
public:
    // Whole: the new content is seen by nobody until Commit(), which puts it
    // in a regular file's place at once, or, to a device, a FIFO or standard
    // output, writes it there only then. Stream: every Write() goes out at
    // once and stays there when the writer is cut.
    enum class TForm { Whole, Stream };

    TOutputFile();
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Looks at `name` ("-": standard output) and changes nothing in it.
    // False, with Reason(), for a folder, a socket, a FIFO that no one reads,
    // or a file that cannot be made in its folder. A FIFO or a device is
    // opened here (without waiting) and kept open, so its reader stays.
    bool Check(const QString& name, TForm form);
    // Check(), unless done for `name` already, then creates or empties a
    // regular stream file; a whole product starts its new content. With
    // `newOnly` a stream is only ever a file made here and now.
    bool Open(const QString& name, TForm form, bool newOnly = false);
    // False when the data did not go out whole (State(), Reason() say why);
    // after that nothing more is written.
    bool Write(const char* data, qint64 size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // Whole: puts the new content in place (see TForm). A stream: true while
    // every write went out.
    bool Commit();
    // Drops new content not committed (a regular file stays as it was) and
    // closes; what a stream wrote stays.
    void Discard();

    bool IsOpen() const { return open_; }
    QString Name() const { return name_; }
    TOutputState State() const { return state_; }
    // The system's reason of the first failure, in the run's language.
    QString Reason() const { return reason_; }
    // What the last whole product held, wherever it went.
    const QByteArray& Kept() const { return held_; }

private:
    enum class TKind { Unknown, Regular, Special, Stdout, Memory };
    bool Fail(int error);
    bool Fail(const QString& reason);
    bool WriteOut(const char* data, qint64 size);
    void Close();

    QString name_;
    TForm form_ = TForm::Whole;
    TKind kind_ = TKind::Unknown;
    int fd_ = -1;                       // a stream's, a device's or a FIFO's descriptor
    std::unique_ptr<QSaveFile> whole_;  // a whole product's new content beside a regular file
    QByteArray held_;                   // the whole product, kept
    bool open_ = false;
    TOutputState state_ = TOutputState::Good;
    QString reason_;
};

// Whether any write of the process found its reader gone.
bool ClosedPipeSeen();

// A closing signal came (called from its handler, async-signal-safe): a
// write that waits for a reader that does not read gives up at once (the
// signal's EINTR), and from now on a device, FIFO or standard output that
// cannot take a write without waiting refuses it instead (TOutputState::Cut).
void CutBlockedWrites();
bool WritesCut();

// Standard output of the console program: ignores SIGPIPE, so a reader that
// goes away is seen as a closed pipe by the write, not as the process's end.
void KeepRunningOnClosedPipe();

}  // namespace lumidra::desktop
