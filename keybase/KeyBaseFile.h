// The key base's file and the files written whole beside it: read, written
// whole or not at all, and the messages of a save that fails. Qt Core only:
// the window and the console program share it.
#pragma once

#include "desktop/UserText.h"
#include "keybase/KeyBaseText.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace lumidra::keybase {

// A whole file's bytes, or nothing when it cannot be opened or read.
std::optional<QByteArray> ReadWholeFile(const QString& fileName);
// Creates or replaces `fileName` with `bytes`. The new content goes to a
// temporary file beside it that takes the old one's place only once it is
// complete, so a write that fails half-way leaves the old file as it was; a
// device or FIFO is written into, never replaced.
bool WriteKeyBaseFile(const QString& fileName, const QByteArray& bytes);
// The same for files that belong together (a table and its data): each goes
// to a temporary file beside its own first, and only when all are complete
// do they take the old ones' places. Returns the name of the file that could
// not be written, or nothing when all were.
std::optional<QString> WriteFilesWhole(const std::vector<std::pair<QString, QByteArray>>& files);

// The message of a save refused because the text holds characters that the
// file's code page cannot hold.
QString UnencodableMessage(const TEncodedKeyBase& encoded);
// The message of a save that failed: the text above and the file's name.
QString SaveFailedMessage(const QString& fileName);

inline constexpr const char* LoadFailedText =
    LUMIDRA_TEXT("keybase", "Данные загрузить не удалось, данные или диск не доступны!");
inline constexpr const char* SaveFailedText = LUMIDRA_TEXT("keybase", "Данные сохранить не удалось, диск не доступен!");

}  // namespace lumidra::keybase
