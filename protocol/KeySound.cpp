#include "protocol/KeySound.h"

#include <QDir>

namespace lumidra::protocol {

QString KeySoundFile(const QString& startFolder) {
    return QDir::toNativeSeparators(QDir(startFolder).filePath(QStringLiteral("keytry.wav")));
}

}  // namespace lumidra::protocol
