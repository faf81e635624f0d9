// The LCD picture file on the disk (Qt Core only).
#pragma once

#include "graphics/Picture.h"

#include <QIODevice>
#include <QString>

namespace lumidra::graphics {

// Reads the picture file `fileName` (see ReadPictureFile): only its header
// and its pixel rows are read, whatever its size. A folder, a file that cannot
// be opened and one that cannot be positioned in count as Unreadable.
TPictureFile LoadPictureFile(const QString& fileName);
// The same from an open device that can be positioned in (a picture held in
// memory).
TPictureFile LoadPictureFile(QIODevice& file);

}  // namespace lumidra::graphics
