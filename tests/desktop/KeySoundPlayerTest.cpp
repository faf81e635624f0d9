// The key sound, headless and without a sound device: a file that is missing
// or no WAVE file never reaches a player (Qt's would complain on the terminal
// at every key); one that appears later is played.
#include "desktop/QtSeams.h"

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include "desktop/KeySoundWindows.h"

#include <string>
#include <utility>
#include <vector>
#else
#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QtTest/QTest>
#endif

namespace lumidra::desktop {
namespace {

// A short mono 16-bit PCM WAV file.
void WriteWav(const QString& name) {
    constexpr quint32 samples = 2205, rate = 22050;
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << rate << quint32(rate * 2) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples * 2);
    for (quint32 i = 0; i < samples; ++i) out << qint16((i % 50) * 400 - 10000);
}

#if defined(_WIN32)
// The system's player reads the file only as it plays: a recorder of what it
// was asked to play stands in for it.
std::vector<std::pair<std::wstring, DWORD>> played;

BOOL WINAPI RecordPlaySound(LPCWSTR sound, HMODULE, DWORD flags) {
    played.emplace_back(sound, flags);
    return TRUE;
}
#endif

TEST(KeySoundPlayer, SkipsWhatIsNoWaveFileAndPlaysOneThatAppears) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("keytry.wav"));
#if defined(_WIN32)
    played.clear();
    struct TRestore {
        TPlaySoundCall System;
        ~TRestore() { PlaySoundCall = System; }
    } restore{std::exchange(PlaySoundCall, &RecordPlaySound)};
#endif
    QtSeams seams;

    seams.PlayKeySound(file);
    QFile text(file);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("RIFF....text, not a sound");
    text.close();
    seams.PlayKeySound(file);
#if defined(_WIN32)
    EXPECT_TRUE(played.empty()) << "asked to play " << played.size() << " times";
#else
    EXPECT_EQ(QCoreApplication::instance()->findChild<QSoundEffect*>(), nullptr) << "no player was given either";
#endif

    WriteWav(file);
    seams.PlayKeySound(file);
#if defined(_WIN32)
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].first, QString(file).replace(u'/', u'\\').toStdWString());
    // Not the system's default sound when the file cannot be played, and no wait for the end.
    EXPECT_EQ(played[0].second, DWORD(SND_FILENAME | SND_ASYNC | SND_NODEFAULT));
#else
    QSoundEffect* player = QCoreApplication::instance()->findChild<QSoundEffect*>();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->source(), QUrl::fromLocalFile(file));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return player->status() == QSoundEffect::Ready || player->status() == QSoundEffect::Error; }, 20000))
        << "status " << int(player->status());
    // A sound is loaded for an output device: Qt 6.8 and later refuse it
    // (Error) on a machine with none, as in a root or a container, whatever
    // the file; Qt 6.4 loads it all the same.
    if (player->status() == QSoundEffect::Error && QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no audio output device, and this Qt (" << qVersion() << ") loads no sound without one";
    EXPECT_EQ(player->status(), QSoundEffect::Ready);
#endif
}

}  // namespace
}  // namespace lumidra::desktop
