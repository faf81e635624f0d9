// The files of lumidra-cli's commands: "-" for standard input or output, and
// a picture of any kind made the LCD's.
#pragma once

#include "graphics/Picture.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace lumidra::cli {

// `name` as a file name; "-" is standard input, copied whole into `scratch`
// first (the jobs read their files by name, some more than once).
QString InputFileName(const std::string& name, const QTemporaryDir& scratch);

// Writes `bytes` to standard output as they are (binary mode on Windows).
void WriteStdout(const QByteArray& bytes);

// The picture in `fileName` as the LCD's: the LCD's own picture file, or any
// picture Qt reads of 96 x 68, made one-bit at `threshold`. A fault is told
// (`shown` names the file) and gives nothing.
std::optional<graphics::TPicture> ImportForLcd(const QString& fileName, int threshold, const QString& shown);

}  // namespace lumidra::cli
