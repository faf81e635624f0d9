// The key sound on Qt Multimedia.
#include "desktop/KeySoundPlayer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace lumidra::desktop {

// One player for the run, made on first use and owned by the application, so
// that it goes before the application does (a function-local static would
// outlive it). QSoundEffect plays WAV files without a media back-end; with no
// sound device, or a file it cannot read, it stays silent.
void PlayWaveFile(const QString& file) {
    static QPointer<QSoundEffect> player;
    if (player.isNull()) {
        if (QCoreApplication::instance() == nullptr) return;
        player = new QSoundEffect(QCoreApplication::instance());
    }
    const QUrl source = QUrl::fromLocalFile(file);
    // A file that failed before (missing then, perhaps there now) is read
    // again; a good one is kept loaded.
    if (player->source() != source || player->status() == QSoundEffect::Error) {
        player->setSource(QUrl());
        player->setSource(source);
    }
    player->play();
}

}  // namespace lumidra::desktop
