// The plot record file: a new file per plot, never one written before, with
// each painted report's points written as it comes, so a reader at the end of
// a pipe, or a plot that is killed, has every record so far.
#pragma once

#include "desktop/OutputFile.h"
#include "graphics/PlotLogic.h"

#include <QString>

namespace lumidra::graphics {

class TPlotFile {
public:
    TPlotFile() = default;
    TPlotFile(const TPlotFile&) = delete;
    TPlotFile& operator=(const TPlotFile&) = delete;
    ~TPlotFile() { Close(); }

    // Closes the file in hand, then creates a new one in `folder`, named for
    // `start`, with a suffix when that name is taken. False when none could
    // be created: Trouble() then says why.
    bool Create(const QString& folder, const TPlotStamp& start);
    // The same for the file `fileName` (the console program's --out: "-" is
    // standard output), which is emptied when it exists; a device or FIFO is
    // written into.
    bool CreateAt(const QString& fileName);
    bool IsOpen() const { return file_.IsOpen(); }
    // Full name of the file in hand, or of the last one.
    QString FileName() const { return file_.Name(); }
    // The file itself, to be checked before the plot starts (a FIFO checked
    // stays open for the record).
    desktop::TOutputFile& Output() { return file_; }
    // Whether the last write found its reader gone.
    bool ReaderGone() const { return file_.State() == desktop::TOutputState::ClosedPipe; }

    // Appends `record` to the file. After a failed write nothing more is
    // written: the plot goes on without its record.
    void Append(const TPlotRecord& record);
    // Closes; nothing when no file is open.
    void Close();

    // Once per file: the text of the first failure (creation or write) since
    // Create, or an empty text when there is none or it was taken already.
    QString TakeTrouble();

private:
    void Begin();
    void Fail(const QString& text);

    desktop::TOutputFile file_;
    bool failed_ = false;
    QString trouble_;
};

}  // namespace lumidra::graphics
