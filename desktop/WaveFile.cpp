#include "desktop/KeySoundPlayer.h"

#include <QFile>

namespace lumidra::desktop {

bool IsWaveHeader(std::string_view head) {
    return head.size() >= 12 && head.substr(0, 4) == "RIFF" && head.substr(8, 4) == "WAVE";
}

bool IsWaveFile(const QString& file) {
    QFile wave(file);
    if (!wave.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = wave.read(12);
    return IsWaveHeader(std::string_view(head.constData(), static_cast<std::size_t>(head.size())));
}

}  // namespace lumidra::desktop
