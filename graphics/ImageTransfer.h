// The LCD picture and the splash screen sent to the board (no widgets: the
// preview is the window's).
#pragma once

#include "desktop/UserText.h"
#include "desktop/Seams.h"
#include "graphics/Picture.h"
#include "protocol/InputDecode.h"

#include <QIODevice>
#include <QString>

#include <optional>

namespace lumidra::graphics {

// Loads the picture file `fileName` for the image job. Its first 64 bytes go
// to DataReport whatever they are (the next payload that does not fill all
// 64 bytes sends them along). A file the LCD cannot show, or one that cannot
// be read whole, is told in a box and gives nothing.
std::optional<TPicture> TakePictureFile(const QString& fileName);
// The same from an open device that can be positioned in (standard input
// held in memory).
std::optional<TPicture> TakePictureFile(QIODevice& file);

// With a board attached, asks it for the image job; nothing otherwise.
void RequestImageJob();

// The image job's step: the job code, then `picture` (the preview) as 864
// band bytes in fourteen DataReports, then the end of the job request.
void ImageSendStep(const protocol::InputReport& Report, const TPicture& picture);

// "Заставка": asks the board to show its splash screen.
void Zast_OutClick();

// The splash job's step: the board shows its splash screen while the modal
// message is open, and goes back when the operator closes it.
void SplashStep(const protocol::InputReport& Report);

// Texts of the commands.
inline constexpr const char* PictureFilter = LUMIDRA_TEXT("graphics", "Рисунок BMP|*.bmp|Все файлы|*.*");
inline constexpr const char* NotLcdPictureText = LUMIDRA_TEXT("graphics", "Это изображение не может быть выведено.");
inline constexpr const char* PictureUnreadableText = LUMIDRA_TEXT("graphics", "Файл изображения не удалось прочитать.");
inline constexpr const char* PictureTooShortText =
    LUMIDRA_TEXT("graphics", "Файл изображения повреждён: он короче своего заголовка.");
inline constexpr const char* PictureCutText =
    LUMIDRA_TEXT("graphics", "Файл изображения повреждён: точки изображения не умещаются в файле.");
inline constexpr const char* SplashShownText =
    LUMIDRA_TEXT("graphics", "Выводится заставка, для продолжения жми \"ОК\".");

}  // namespace lumidra::graphics
