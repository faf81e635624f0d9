#include "transfers/Transfers.h"

#include "protocol/JobGuard.h"
#include "protocol/JobOutcome.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>

namespace lumidra::transfers {

using namespace protocol;
using namespace desktop;

TTransferFile TransferFile;

namespace {

// JobReport byte 1.
constexpr std::uint8_t JobEnd = 0;
constexpr std::uint8_t JobDumpBlock = 1;
constexpr std::uint8_t JobFlash = 16;
// JobReport byte 2 of a Flash-ROM job, and its fixed bytes 3 and 4.
constexpr std::uint8_t FlashRead = 0;
constexpr std::uint8_t FlashErase = 1;
constexpr std::uint8_t FlashWrite = 2;
constexpr std::uint8_t FlashParam3 = 64;
constexpr std::uint8_t FlashParam4 = 127;

void SetFlashJob(std::uint8_t operation) {
    JobReport[1] = JobFlash;
    JobReport[2] = operation;
    JobReport[3] = FlashParam3;
    JobReport[4] = FlashParam4;
}

void ShowDone(const char* text) {
    ReportJobOutcome(TJobOutcome::Done(QCoreApplication::translate("transfers", text)));
}

void ShowFileError(const QString& text) {
    ReportJobOutcome(TJobOutcome::Failed(text));
}

QString Shown(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

// Sets the filter and runs the dialog; its title and folder stay as the last
// command using it left them. False when cancelled, or when the board went
// away while the dialog was open: no request then, since nothing would
// answer it.
bool ChooseFile(TFileDialog& dialog) {
    dialog.Filter = QCoreApplication::translate("transfers", BinaryFilter);
    return dialog.Execute() && AttachedDevice != nullptr;
}

// The end of a read or a dump, also of one whose file failed: code 0 ends the
// job on the board (bytes 2 to 4 as the caller left them). The new content
// then takes the chosen file's place, only when every block reached the disk;
// otherwise the request flag also goes back to the board at once and the
// operator learns which file and why.
void EndTransfer(bool fileOk, const char* doneText) {
    JobReport[1] = JobEnd;
    StateReport[JobRequestByte] = 0;
    JobActive = false;
    FlashReadPending = false;
    DumpRequested = false;
    SendReport(JobReport);
    // After the job's end: a device or FIFO that takes its time to take the
    // content never holds the board mid-job.
    if (fileOk) {
        fileOk = TransferFile.Commit();
    }
    const QString error = TransferWriteErrorText(TransferFile.Name, TransferFile.ErrorString());
    TransferFile.Discard();
    if (!fileOk) {
        SendReport(StateReport);
        ShowFileError(error);
        return;
    }
    ShowDone(doneText);
}

// The first block of `fileName`; an empty text, or the error box's text.
QString ReadSourceBlock(const QString& fileName, std::array<std::uint8_t, FlashBlockSize>& block) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return SourceReadErrorText(fileName, file.errorString());
    std::size_t got = 0;
    while (got < block.size()) {
        const qint64 n =
            file.read(reinterpret_cast<char*>(block.data() + got), static_cast<qint64>(block.size() - got));
        if (n < 0) return SourceReadErrorText(fileName, file.errorString());
        if (n == 0) return ShortSourceText(fileName);
        got += static_cast<std::size_t>(n);
    }
    return {};
}

}  // namespace

void ResetTransfers() {
    TransferFile.Discard();
    TransferFile.Name.clear();
}

// --- starters --------------------------------------------------------------------

void Read_FlashClick(TFileDialog& SaveDialog1) {
    if (RefuseWhenBusy(TJob::FlashRead) || !ChooseFile(SaveDialog1)) return;
    TransferFile.Name = SaveDialog1.FileName;
    FlashReadPending = true;
    RequestJob();
}

void Erase_FlashClick() {
    if (RefuseWhenBusy(TJob::FlashErase)) return;
    FlashErasePending = true;
    RequestJob();
}

void Write_FlashClick(TFileDialog& OpenDialog1) {
    if (RefuseWhenBusy(TJob::FlashWrite) || !ChooseFile(OpenDialog1)) return;
    // Read-only, so a release image on a read-only share serves; into a block
    // of its own, so a short file leaves DataReport as it was.
    std::array<std::uint8_t, FlashBlockSize> block{};
    const QString problem = ReadSourceBlock(OpenDialog1.FileName, block);
    if (!problem.isEmpty()) {
        ShowFileError(problem);
        return;
    }
    StartFlashWrite(OpenDialog1.FileName, block);
}

void StartFlashWrite(const QString& fileName, const std::array<std::uint8_t, FlashBlockSize>& block) {
    TransferFile.Name = fileName;
    std::copy(block.begin(), block.end(), DataReport.begin() + 1);
    FlashWritePending = true;
    RequestJob();
}

void ReadDUMP1Click(TFileDialog& SaveDialog1) {
    if (RefuseWhenBusy(TJob::Dump) || !ChooseFile(SaveDialog1)) return;
    TransferFile.Name = SaveDialog1.FileName;
    DumpRequested = true;
    RequestJob();
}

// --- steps -----------------------------------------------------------------------

void FlashReadStep(const InputReport& Report) {
    if (!JobActive) {
        JobActive = true;
        SetFlashJob(FlashRead);
        if (!TransferFile.Create()) return EndTransfer(false, FlashReadDoneText);
        SendReport(JobReport);
        return;
    }
    // Every byte is data here, index 6 included.
    EndTransfer(TransferFile.Write(Report.data(), FlashBlockSize), FlashReadDoneText);
}

void FlashEraseStep(const InputReport&) {
    SetFlashJob(FlashErase);
    SendReport(JobReport);
    EndJobRequest();
    FlashErasePending = false;
    ShowDone(FlashEraseDoneText);
}

void FlashWriteStep(const InputReport&) {
    SetFlashJob(FlashWrite);
    SendReport(JobReport);
    SendReport(DataReport);
    EndJobRequest();
    FlashWritePending = false;
    ShowDone(FlashWriteDoneText);
}

void DumpStep(const InputReport& Report) {
    bool fileOk = true;
    if (!JobActive) {
        JobActive = true;
        DumpOffset = 0;
        fileOk = TransferFile.Create();
    } else {
        fileOk = TransferFile.Write(Report.data(), FlashBlockSize);
    }
    // The offset asked for now; a failed step ends the job there.
    const std::uint16_t offset = DumpOffset;
    JobReport[2] = static_cast<std::uint8_t>(offset & 0xFF);
    JobReport[3] = static_cast<std::uint8_t>(offset >> 8);
    if (!fileOk) return EndTransfer(false, DumpDoneText);
    DumpOffset = static_cast<std::uint16_t>(offset + FlashBlockSize);
    if (offset == DumpSize) return EndTransfer(true, DumpDoneText);
    JobReport[1] = JobDumpBlock;
    SendReport(JobReport);
}

// --- detach ----------------------------------------------------------------------

void BoardDetached() {
    if (!FlashReadPending && !DumpRequested) return;
    TransferFile.Discard();
    // JobActive belongs to the transfer here: the one-job rule let nothing
    // else start beside it.
    JobActive = false;
    FlashReadPending = false;
    DumpRequested = false;
}

// --- texts -----------------------------------------------------------------------

QString SourceReadErrorText(const QString& fileName, const QString& reason) {
    return QCoreApplication::translate("transfers", "Файл «%1» не прочитан: %2. Во FLASH ничего не записано.")
        .arg(Shown(fileName), reason);
}

QString ShortSourceText(const QString& fileName) {
    return QCoreApplication::translate("transfers", "В файле «%1» меньше %2 байт. Во FLASH ничего не записано.")
        .arg(Shown(fileName))
        .arg(FlashBlockSize);
}

QString TransferWriteErrorText(const QString& fileName, const QString& reason) {
    return QCoreApplication::translate("transfers", "Файл «%1» не записан: %2. Передача прервана.")
        .arg(Shown(fileName), reason);
}

}  // namespace lumidra::transfers
