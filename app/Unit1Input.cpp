// The board's input reports: each one either shows the board's status in the
// input group (and goes into the chart's recording) or goes to the job in
// hand, as protocol/InputDecode decides.
#include "app/Unit1.h"

#include "graphics/ChartRecord.h"
#include "graphics/Preview.h"
#include "keybase/KeyBase.h"
#include "protocol/KeySound.h"
#include "protocol/ProtocolState.h"
#include "protocol/StatusDisplay.h"
#include "desktop/FramePacer.h"
#include "desktop/Widgets.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <string>
#include <string_view>

namespace lumidra::app {

using namespace protocol;
using namespace desktop;

void TForm1::HidDeviceController1DeviceData(hid::THidDevice*, std::uint8_t, const std::uint8_t* Data,
                                            std::uint16_t Size) {
    // The session writes the trace and runs the job's step; a status is shown here.
    const TSessionInput input = session_->Input(Data, Size, JobInputs());
    if (input.Route == TInputRoute::Status) {
        const TStatusView& status = input.Status;
        graphics::RecordChartSample(status);
        // The key's sound and its look-up follow every report; what the
        // widgets show waits for the frame.
        if (status.KeyId) SoundKey();
        if (status.KeyId) keybase::KeyBaseLookup(*MemoKey, QString::fromStdString(*status.KeyId));
        if (status.KeyStatus == 2) KeySoundArmed = true;
        status_.Add(status);
        if (status_.Due()) pacer_->RequestFrame();
    }
}

TJobInputs TForm1::JobInputs() {
    return {[this] { return graphics::PreviewPicture(*Image1); }, [this] { return EditTxt->text(); },
            [this] { return Perenos->isChecked(); }};
}

void TForm1::ShowInput(QLabel& label, bool on) {
    SetCaption(label, QString::fromLatin1(on ? InputOnText : InputOffText));
    ShowSecondBackground(label, on);
}

namespace {

// A channel's label in the language shown.
QString ShownChannel(int channel, int value) {
    const QByteArray format = QCoreApplication::translate("protocol", ChannelTextFormat).toUtf8();
    return QString::fromStdString(ChannelText(std::string_view(format.constData(), format.size()), channel, value));
}

QString Translated(const std::string& text) {
    return QCoreApplication::translate("protocol", text.c_str());
}

}  // namespace

void TForm1::ShowPendingStatus() {
    if (!status_.Due()) return;
    const TStatusShown was = status_.Shown();
    ShowStatus(was, status_.Next());
    // A short key had this frame of its own: what came after it takes the next.
    if (status_.Due()) pacer_->RequestFrame();
}

void TForm1::ShowStatus(const TStatusShown& was, const TStatusShown& now, bool all) {
    // A value past full scale shows a full bar (a progress bar would ignore
    // it and keep the last one); the text still gives the real percentage.
    if (all || now.Channel1 != was.Channel1) {
        Bar1->setValue(std::min(now.Channel1, Bar1->maximum()));
        SetCaption(*Label5, ShownChannel(1, now.Channel1));
    }
    if (all || now.Channel2 != was.Channel2) {
        Bar2->setValue(std::min(now.Channel2, Bar2->maximum()));
        SetCaption(*Label6, ShownChannel(2, now.Channel2));
    }
    QLabel* const inputs[] = {Label7, Label8, Label9, Label10};
    for (std::size_t i = 0; i < now.Inputs.size(); ++i) {
        if (all || now.Inputs[i] != was.Inputs[i]) ShowInput(*inputs[i], now.Inputs[i]);
    }
    if (all || now.KeyText != was.KeyText) SetCaption(*Key, QString::fromStdString(now.KeyText));
    if (all || now.KeyStatusText != was.KeyStatusText) SetCaption(*Key_status, Translated(now.KeyStatusText));
}

void TForm1::ResetStatus() {
    const TStatusShown zero = WithStatus({}, DecodeStatus(InputReport{}.data()));
    ShowStatus(zero, zero, true);
    status_.Reset(zero);
}

void TForm1::FixStatusCaptions() {
    // Every text in the language shown and in the texts' own.
    const QString formats[] = {QString::fromUtf8(ChannelTextFormat),
                               QCoreApplication::translate("protocol", ChannelTextFormat)};
    QLabel* const channels[] = {Label5, Label6};
    for (int channel = 1; channel <= 2; ++channel) {
        QStringList texts;
        // Four digits reach 6406 %, full scale's 64 times; any digit may be the font's widest.
        for (const QString& format : formats) {
            const QByteArray utf8 = format.toUtf8();
            for (char digit = '0'; digit <= '9'; ++digit) {
                texts << QString::fromStdString(ChannelTextWithPercent(std::string_view(utf8.constData(), utf8.size()),
                                                                       channel, std::string(4, digit)));
            }
        }
        FixCaptionSize(*channels[channel - 1], texts);
    }
    QStringList keys{QString::fromLatin1(NoKeyText)};
    for (const char digit : std::string_view("0123456789ABCDEF")) {
        QString key;
        for (int i = 0; i < 8; ++i) key += QLatin1Char(' ') + QString(2, QLatin1Char(digit));
        keys << key;
    }
    FixCaptionSize(*Key, keys);
    QStringList statuses;
    for (const char* text : {KeyInactiveText, KeyHeldText, KeyReadText, KeyReadErrorText}) {
        statuses << QString::fromUtf8(text) << QCoreApplication::translate("protocol", text);
    }
    FixCaptionSize(*Key_status, statuses);
    for (QLabel* input : {Label7, Label8, Label9, Label10}) {
        FixCaptionSize(*input, {QString::fromLatin1(InputOnText), QString::fromLatin1(InputOffText)});
    }
}

void TForm1::SoundKey() {
    if (!KeySoundDue(KeyTimer->isActive(), KeySoundArmed)) return;
    KeyTimer->start();
    KeySoundArmed = false;
    Seams().PlayKeySound(KeySoundFile(StartFolder));
}

void TForm1::KeyTimerTimer() {
    KeyTimer->stop();
}

}  // namespace lumidra::app
