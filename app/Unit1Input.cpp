// The board's input reports: each one either shows the board's status in the
// input group (and goes into the chart's recording) or goes to the job in
// hand, as protocol/InputDecode decides.
#include "app/Unit1.h"

#include "graphics/ChartRecord.h"
#include "graphics/Preview.h"
#include "keybase/KeyBase.h"
#include "protocol/KeySound.h"
#include "protocol/ProtocolState.h"
#include "protocol/Trace.h"
#include "desktop/Widgets.h"

#include <QCoreApplication>

#include <algorithm>
#include <string_view>

namespace lumidra::app {

using namespace protocol;
using namespace desktop;

void TForm1::HidDeviceController1DeviceData(hid::THidDevice*, std::uint8_t, const std::uint8_t* Data,
                                            std::uint16_t Size) {
    const InputReport report = CopyInputReport(Data, Size);
    if (ReportTrace != nullptr) ReportTrace->In(report);
    const TInputRoute route = DecideInputRoute(report[InputJobAck], CurrentJobFlags());
    if (route == TInputRoute::Status) {
        const TStatusView status = DecodeStatus(report.data());
        graphics::RecordChartSample(status);
        ShowStatus(status);
        return;
    }
    RunJobStep(route, report, JobInputs());
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

}  // namespace

void TForm1::ShowStatus(const TStatusView& status) {
    // A value past full scale shows a full bar (a progress bar would ignore
    // it and keep the last one); the text still gives the real percentage.
    Bar1->setValue(std::min(status.Channel1, Bar1->maximum()));
    SetCaption(*Label5, ShownChannel(1, status.Channel1));
    Bar2->setValue(std::min(status.Channel2, Bar2->maximum()));
    SetCaption(*Label6, ShownChannel(2, status.Channel2));
    QLabel* const inputs[] = {Label7, Label8, Label9, Label10};
    for (int i = 0; i < 4; ++i) ShowInput(*inputs[i], status.Inputs[i]);

    if (status.KeyId) SoundKey();
    if (status.KeyText) SetCaption(*Key, QString::fromStdString(*status.KeyText));
    if (status.KeyId) keybase::KeyBaseLookup(*MemoKey, QString::fromStdString(*status.KeyId));
    if (status.KeyStatus == 2) KeySoundArmed = true;
    if (status.KeyStatusText) {
        SetCaption(*Key_status, QCoreApplication::translate("protocol", status.KeyStatusText->c_str()));
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
