#include "graphics/ImageTransfer.h"

#include "graphics/PictureFile.h"
#include "protocol/JobGuard.h"
#include "protocol/JobOutcome.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"

#include <QCoreApplication>

#include <algorithm>

namespace lumidra::graphics {

using namespace protocol;
using namespace desktop;

namespace {

constexpr std::uint8_t JobImageData = 2;
constexpr std::uint8_t JobText = 8;
constexpr std::uint8_t JobEnd = 0;
constexpr std::uint8_t SplashMode = 2;
constexpr std::size_t Payload = OutputReportSize - 1;

// A file that cannot be read whole is outside input gone wrong, not a picture
// the LCD cannot show: an error box, and the preview keeps its picture.
void TellUnreadable(TPictureFileError error) {
    const char* text = error == TPictureFileError::TooShort           ? PictureTooShortText
                       : error == TPictureFileError::PixelDataMissing ? PictureCutText
                                                                      : PictureUnreadableText;
    Seams().MessageBox(QCoreApplication::translate("graphics", text), QString::fromLatin1(AppTitle), TMsgIcon::Error,
                       TMsgButtons::Ok);
}

std::optional<TPicture> TakePicture(const TPictureFile& file) {
    if (file.Header) std::copy(file.Header->begin(), file.Header->end(), DataReport.begin() + 1);
    if (file.Error == TPictureFileError::NotLcdPicture) {
        Seams().ShowMessage(QCoreApplication::translate("graphics", NotLcdPictureText));
        return std::nullopt;
    }
    if (file.Error != TPictureFileError::None) {
        TellUnreadable(file.Error);
        return std::nullopt;
    }
    return file.Picture;
}

}  // namespace

std::optional<TPicture> TakePictureFile(const QString& fileName) {
    return TakePicture(LoadPictureFile(fileName));
}

std::optional<TPicture> TakePictureFile(QIODevice& file) {
    return TakePicture(LoadPictureFile(file));
}

void RequestImageJob() {
    if (AttachedDevice == nullptr) return;
    ImageSendPending = true;
    RequestJob();
}

void ImageSendStep(const InputReport& Report, const TPicture& picture) {
    if (Report[InputJobAck] == 0) return;
    JobReport[1] = JobImageData;
    SendReport(JobReport);
    // Filled from byte 1 and sent each time it is full; the last, half-full
    // report carries the rest of the one before it in bytes 33 to 64.
    const auto bytes = ImageBandBytes(picture);
    for (std::size_t at = 0; at < bytes.size(); at += Payload) {
        const std::size_t count = std::min(Payload, bytes.size() - at);
        std::copy_n(bytes.begin() + std::ptrdiff_t(at), count, DataReport.begin() + 1);
        SendReport(DataReport);
    }
    EndJobRequest();
    ImageSendPending = false;
    ReportJobOutcome(TJobOutcome::Done());
}

void Zast_OutClick() {
    if (RefuseWhenBusy(TJob::Splash)) return;
    LcdTextPending = true;
    JobReport[2] = SplashMode;
    RequestJob();
}

void SplashStep(const InputReport& Report) {
    if (Report[InputJobAck] == 0) return;
    JobReport[1] = JobText;
    SendReport(JobReport);
    // The cleared request goes out with whatever sends StateReport next.
    JobReport[1] = JobEnd;
    StateReport[JobRequestByte] = 0;
    // The reader waits while the box is open: the board's reports stay queued.
    // The cable may go meanwhile, and another board (or this one, plugged
    // again) be attached: the end of the job is this board's only.
    const std::uint32_t handedBack = BoardsHandedBack;
    ReportJobOutcome(TJobOutcome::Waiting(QCoreApplication::translate("graphics", SplashShownText)));
    if (BoardsHandedBack == handedBack) SendReport(JobReport);
    LcdTextPending = false;
    ReportJobOutcome(TJobOutcome::Done());
}

}  // namespace lumidra::graphics
