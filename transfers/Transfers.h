// The Flash-ROM block transfers and the memory dump, to and from raw files:
// the four commands' starters and the job steps the input handler runs.
#pragma once

#include "desktop/UserText.h"
#include "desktop/OutputFile.h"
#include "desktop/Seams.h"
#include "protocol/InputDecode.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumidra::transfers {

// One Flash-ROM block, and the whole memory a dump fetches.
inline constexpr std::size_t FlashBlockSize = 64;
inline constexpr std::uint16_t DumpSize = 4096;

// The one raw byte file of the transfers. A read or dump writes its new
// content beside the chosen file and puts it in the chosen file's place only
// after the last block: a transfer cut short (file error, unplug, window
// closed) leaves the chosen file as it was instead of a partial one that
// looks complete. A device or FIFO chosen gets the whole content only then.
class TTransferFile {
public:
    // The chosen file, named by the starter.
    QString Name;

    // Starts empty new content for Name; false (and ErrorString) when it
    // cannot be created.
    bool Create() { return file_.Open(Name, desktop::TOutputFile::TForm::Whole); }
    // Appends `size` bytes and pushes them to the disk at once, so a full
    // disk ends the transfer at the block that did not fit.
    bool Write(const std::uint8_t* data, std::size_t size) {
        return file_.Write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    // Puts the new content in the chosen file's place and closes it.
    bool Commit() { return file_.Commit(); }
    // Drops the new content, if any; the chosen file stays as it was.
    void Discard() { file_.Discard(); }
    bool IsOpen() const { return file_.IsOpen(); }
    // The system's reason of the last failure.
    QString ErrorString() const { return file_.Reason(); }
    // The file itself: checked before a transfer starts, how it failed, what
    // a transfer kept in memory.
    desktop::TOutputFile& Output() { return file_; }

private:
    desktop::TOutputFile file_;
};

extern TTransferFile TransferFile;

// Drops an unfinished transfer's content and forgets the file's name: the
// state at program start.
void ResetTransfers();

// Starters, behind the window's handlers. Each refuses while the board has
// another job in hand (before any dialog), and a cancelled dialog changes
// nothing.
void Read_FlashClick(desktop::TFileDialog& SaveDialog1);
void Erase_FlashClick();
void Write_FlashClick(desktop::TFileDialog& OpenDialog1);
void ReadDUMP1Click(desktop::TFileDialog& SaveDialog1);
// The Flash-ROM write of `block`, read from `fileName`, as Write_FlashClick
// starts it once the file is read (no refusal here).
void StartFlashWrite(const QString& fileName, const std::array<std::uint8_t, FlashBlockSize>& block);

// Job steps, run by the input handler on the report that reaches them in the
// dispatch order.
void FlashReadStep(const protocol::InputReport& Report);
void FlashEraseStep(const protocol::InputReport& Report);
void FlashWriteStep(const protocol::InputReport& Report);
void DumpStep(const protocol::InputReport& Report);

// The board was handed back (its device object is already gone). A read or
// dump asked for or under way can never finish: its new content is dropped,
// the chosen file stays untouched, and its flags are cleared, so a board that
// comes back in the same re-scan starts idle.
void BoardDetached();

// Texts of the commands.
inline constexpr const char* BinaryFilter = LUMIDRA_TEXT("transfers", "Двоичный файл|*.bin|Все файлы|*.*");
inline constexpr const char* FlashReadDoneText = LUMIDRA_TEXT("transfers", "Данные FLASH сохранены.");
inline constexpr const char* FlashEraseDoneText = LUMIDRA_TEXT("transfers", "FLASH стёрта.");
inline constexpr const char* FlashWriteDoneText = LUMIDRA_TEXT("transfers", "Данные FLASH записаны.");
inline constexpr const char* DumpDoneText = LUMIDRA_TEXT("transfers", "Файл дампа сохранён.");

// The error box texts: a source that cannot be read, a source shorter than
// one block, a transfer file that cannot be written. `reason` is the system's.
QString SourceReadErrorText(const QString& fileName, const QString& reason);
QString ShortSourceText(const QString& fileName);
QString TransferWriteErrorText(const QString& fileName, const QString& reason);

}  // namespace lumidra::transfers
