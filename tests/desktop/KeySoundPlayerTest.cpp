// The key sound on Qt's player, headless and without a sound device: a file
// that is missing or no WAVE file never reaches a player (which would complain
// on the terminal at every key); one that appears later is played.
#include <gtest/gtest.h>

#if defined(_WIN32)

TEST(KeySoundPlayer, SkipsWhatIsNoWaveFileAndPlaysOneThatAppears) {
    GTEST_SKIP() << "Windows plays the key sound with PlaySoundW, which reads the file anew on "
                    "every call and keeps no player whose source and status could be checked";
}

#else

#include "desktop/QtSeams.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QtTest/QTest>

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

TEST(KeySoundPlayer, SkipsWhatIsNoWaveFileAndPlaysOneThatAppears) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("keytry.wav"));
    QtSeams seams;

    seams.PlayKeySound(file);
    QFile text(file);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("RIFF....text, not a sound");
    text.close();
    seams.PlayKeySound(file);
    EXPECT_EQ(QCoreApplication::instance()->findChild<QSoundEffect*>(), nullptr) << "no player was given either";

    WriteWav(file);
    seams.PlayKeySound(file);
    QSoundEffect* player = QCoreApplication::instance()->findChild<QSoundEffect*>();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->source(), QUrl::fromLocalFile(file));
    EXPECT_TRUE(QTest::qWaitFor([&] { return player->status() == QSoundEffect::Ready; }, 20000))
        << "status " << int(player->status());
}

}  // namespace
}  // namespace lumidra::desktop

#endif
