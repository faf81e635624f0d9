// The files of lumidra-cli's commands: "-" for standard input, read as it
// comes and only as far as the job needs, and a picture of any kind made the
// LCD's.
#pragma once

#include "graphics/Picture.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace lumidra::cli {

// The most a picture read from standard input, a FIFO or a device may hold.
inline constexpr qint64 PictureInputLimit = 1 << 20;

// What is told of a file that failed: its name and the system's reason.
QString FileFault(const QString& name, const QString& reason);

// The first `size` bytes of `name` ("-": standard input), or fewer when it
// ends first; the rest is left unread. Nothing when it cannot be read, with
// the system's `reason`.
std::optional<QByteArray> ReadInputHead(const std::string& name, qint64 size, QString& reason);
// The same, a failure told as a Flash-ROM source's.
std::optional<QByteArray> ReadInputHead(const std::string& name, qint64 size);

// What tells one file from another in a run: its device and inode, or, for a
// name that does not exist yet, its absolute path; "-" is standard output's
// (`output`) or standard input's. Nothing for a device, which takes the writes
// of each writer in turn.
std::optional<std::string> FileIdentity(const std::string& name, bool output);

// `name` opened for reading, in a form that can be positioned in: a file as
// it is, standard input ("-"), a FIFO or a device held in memory, at most
// PictureInputLimit bytes. Nothing (told, with the file's name and the
// system's reason) when it cannot be opened or read, or holds more.
std::unique_ptr<QIODevice> OpenInput(const std::string& name);

// The picture in `input` as the LCD's: the LCD's own picture file, or any
// picture Qt reads of 96 x 68, made one-bit at `threshold`. A fault is told
// (`shown` names the file) and gives nothing.
std::optional<graphics::TPicture> ImportForLcd(QIODevice& input, int threshold, const QString& shown);

}  // namespace lumidra::cli
