// The LCD picture and the splash screen sent to the board.
#pragma once

#include "desktop/Seams.h"
#include "graphics/ImageWidget.h"
#include "protocol/InputDecode.h"

namespace lumidra::graphics {

// "Send Image": loads a picture file the operator chooses into the preview
// and, with a board attached, asks the board for the image job. Refused
// before its dialog while another job is in hand: the file's header goes to
// DataReport, which that job may still have to send.
void SendImage1Click(TImage& Image1, desktop::TFileDialog& OpenPictureDialog1);

// The image job's step: the job code, then the preview as 864 band bytes in
// fourteen DataReports, then the end of the job request.
void ImageSendStep(const protocol::InputReport& Report, const TImage& Image1);

// "Заставка": asks the board to show its splash screen.
void Zast_OutClick();

// The splash job's step: the board shows its splash screen while the modal
// message is open, and goes back when the operator closes it.
void SplashStep(const protocol::InputReport& Report);

// Texts of the commands.
inline constexpr const char* PictureFilter = "Рисунок BMP|*.bmp|Все файлы|*.*";
inline constexpr const char* NotLcdPictureText = "Это изображение не может быть выведено.";
inline constexpr const char* PictureUnreadableText = "Файл изображения не удалось прочитать.";
inline constexpr const char* PictureTooShortText = "Файл изображения повреждён: он короче своего заголовка.";
inline constexpr const char* PictureCutText = "Файл изображения повреждён: точки изображения не умещаются в файле.";
inline constexpr const char* SplashShownText = "Выводится заставка, для продолжения жми \"ОК\".";

}  // namespace lumidra::graphics
