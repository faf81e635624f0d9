#include "protocol/InputDecode.h"

#include "protocol/KeySound.h"
#include "protocol/ProtocolState.h"

#include <QDir>

#include <gtest/gtest.h>

#include <array>

namespace lumidra::protocol {
namespace {

using R = TInputRoute;

TEST(InputRoute, StatusOnlyWithNoAcknowledgementAndNoJobWaiting) {
    EXPECT_EQ(DecideInputRoute(0, TJobFlagsView{}), R::Status);
    // A Flash-ROM read whose request the board has not acknowledged yet lets
    // status reports through; once under way it takes every report.
    TJobFlagsView read;
    read.FlashReadPending = true;
    EXPECT_EQ(DecideInputRoute(0, read), R::Status);
    EXPECT_EQ(DecideInputRoute(1, read), R::FlashReadStep);
    read.JobActive = true;
    EXPECT_EQ(DecideInputRoute(0, read), R::FlashReadStep);
}

TEST(InputRoute, AJobWaitingForItsAcknowledgementDropsStatusReports) {
    for (auto set :
         {&TJobFlagsView::ImageSendPending, &TJobFlagsView::LcdCommandPending, &TJobFlagsView::LcdTextPending,
          &TJobFlagsView::FlashErasePending, &TJobFlagsView::FlashWritePending, &TJobFlagsView::PlotPending}) {
        TJobFlagsView f;
        f.*set = true;
        EXPECT_EQ(DecideInputRoute(0, f), R::Drop);
    }
}

TEST(InputRoute, FirstMatchingEntryWinsInTheFixedOrder) {
    TJobFlagsView f;
    f.ImageSendPending = f.LcdCommandPending = f.LcdTextPending = true;
    f.FlashReadPending = f.FlashErasePending = f.FlashWritePending = f.PlotPending = true;
    EXPECT_EQ(DecideInputRoute(1, f), R::ImageStep);
    f.ImageSendPending = false;
    EXPECT_EQ(DecideInputRoute(1, f), R::LcdCommandStep);
    f.LcdCommandPending = false;
    f.JobMode = 2;
    EXPECT_EQ(DecideInputRoute(1, f), R::SplashStep);
    f.JobMode = 1;
    EXPECT_EQ(DecideInputRoute(1, f), R::LcdTextStep);
    f.LcdTextPending = false;
    EXPECT_EQ(DecideInputRoute(0, f), R::FlashReadStep) << "the read needs no acknowledgement";
    f.FlashReadPending = false;
    EXPECT_EQ(DecideInputRoute(1, f), R::FlashEraseStep);
    EXPECT_EQ(DecideInputRoute(0, f), R::Drop) << "a later entry never takes a dropped report";
    f.FlashErasePending = false;
    EXPECT_EQ(DecideInputRoute(1, f), R::FlashWriteStep);
    f.FlashWritePending = false;
    EXPECT_EQ(DecideInputRoute(1, f), R::PlotStep);
    EXPECT_EQ(DecideInputRoute(0, f), R::Drop);
    f.JobActive = true;
    EXPECT_EQ(DecideInputRoute(0, f), R::PlotStep) << "a running plot takes every report";
    f.PlotPending = false;
    EXPECT_EQ(DecideInputRoute(0, f), R::DumpStep) << "a running dump takes every report";
    f.JobActive = false;
    f.DumpRequested = true;
    EXPECT_EQ(DecideInputRoute(7, f), R::DumpStep) << "an acknowledged dump request is the dump";
}

TEST(InputRoute, AnAcknowledgementWithNoDumpRequestedStartsNoDump) {
    TJobFlagsView f;
    EXPECT_EQ(DecideInputRoute(1, f), R::Drop);
    EXPECT_EQ(DecideInputRoute(255, f), R::Drop);
    f.DumpRequested = true;
    EXPECT_EQ(DecideInputRoute(0, f), R::Status) << "not yet acknowledged: status goes on";
    EXPECT_EQ(DecideInputRoute(1, f), R::DumpStep);
    f.JobActive = true;
    EXPECT_EQ(DecideInputRoute(0, f), R::DumpStep);
}

TEST(InputRoute, TheDumpRequestIsReadAndClearedWithTheJobFlags) {
    DumpRequested = true;
    EXPECT_TRUE(CurrentJobFlags().DumpRequested);
    ClearJobFlags();
    EXPECT_FALSE(DumpRequested);
    EXPECT_FALSE(CurrentJobFlags().DumpRequested);
}

TEST(InputReportCopy, ShortReportsAreZeroPaddedAndLongOnesCut) {
    std::uint8_t bytes[70];
    for (int i = 0; i < 70; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
    const InputReport shortOne = CopyInputReport(bytes, 8);
    EXPECT_EQ(shortOne[7], 8);
    EXPECT_EQ(shortOne[8], 0);
    EXPECT_EQ(shortOne[63], 0);
    const InputReport longOne = CopyInputReport(bytes, 70);
    EXPECT_EQ(longOne[63], 64);
    EXPECT_EQ(CopyInputReport(nullptr, 64), InputReport{});
}

TEST(KeySound, FileInTheStartFolderKeptWhole) {
    const QString sep = QDir::separator();
    EXPECT_EQ(KeySoundFile(QStringLiteral("/home/op")),
              QDir::toNativeSeparators(QStringLiteral("/home/op/keytry.wav")));
    EXPECT_EQ(KeySoundFile(QStringLiteral("/")), sep + "keytry.wav") << "no doubled separator";
    // Longer than the 211 characters a fixed-size name once allowed.
    const QString deep = "/" + QString(250, QLatin1Char('d'));
    EXPECT_EQ(KeySoundFile(deep), QDir::toNativeSeparators(deep + "/keytry.wav"));
}

std::array<std::uint8_t, 64> Report() {
    return {};
}

TEST(StatusDecode, ChannelsAndPercentagesTruncate) {
    auto r = Report();
    r[0] = 255, r[1] = 3, r[2] = 0, r[3] = 2;
    const auto v = DecodeStatus(r.data());
    EXPECT_EQ(v.Channel1, 1023);
    EXPECT_EQ(ChannelText(ChannelTextFormat, 1, v.Channel1), "Канал 1 : 100%");
    EXPECT_EQ(v.Channel2, 512);
    EXPECT_EQ(ChannelText(ChannelTextFormat, 2, v.Channel2), "Канал 2 : 50%");
    EXPECT_EQ(ChannelPercent(0), 0);
    EXPECT_EQ(ChannelPercent(1022), 99);
    EXPECT_EQ(ChannelPercent(2046), 200);
    EXPECT_EQ(ChannelPercent(65535), 6406);
}

TEST(StatusDecode, InputBitsZeroToThree) {
    auto r = Report();
    r[4] = 0xFA;  // bits 4..7 are not shown
    const auto v = DecodeStatus(r.data());
    EXPECT_FALSE(v.Inputs[0]);
    EXPECT_TRUE(v.Inputs[1]);
    EXPECT_FALSE(v.Inputs[2]);
    EXPECT_TRUE(v.Inputs[3]);
}

TEST(StatusDecode, HeldKeyShowsIndexFifteenFirst) {
    auto r = Report();
    const std::uint8_t key[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    std::copy(key, key + 8, r.begin() + 8);
    r[5] = 1;
    const auto v = DecodeStatus(r.data());
    EXPECT_EQ(v.KeyText, " EF CD AB 89 67 45 23 01");
    EXPECT_EQ(v.KeyId, "EFCDAB8967452301");
    EXPECT_EQ(v.KeyStatusText, "Ключ удерживается");
}

TEST(StatusDecode, KeyStatusTexts) {
    struct Case {
        std::uint8_t s;
        std::optional<std::string> key, status;
    } cases[] = {
        {0, " no key", "    Ключ не активен"},   {2, std::nullopt, "        Ключ прочитан"},
        {5, " no key", "        Ошибка чтения"}, {8, " no key", "        Ошибка чтения"},
        {3, std::nullopt, std::nullopt},         {255, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        auto r = Report();
        r[5] = c.s;
        r[8] = 0x55;
        const auto v = DecodeStatus(r.data());
        EXPECT_EQ(v.KeyText, c.key) << int(c.s);
        EXPECT_EQ(v.KeyStatusText, c.status) << int(c.s);
        EXPECT_FALSE(v.KeyId) << int(c.s);
    }
}

}  // namespace
}  // namespace lumidra::protocol
