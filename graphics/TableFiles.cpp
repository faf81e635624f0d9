#include "graphics/TableFiles.h"

#include "desktop/Seams.h"
#include "protocol/JobOutcome.h"
#include "graphics/TableFormat.h"
#include "keybase/KeyBaseFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lumidra::graphics {

using namespace desktop;
using namespace protocol;

namespace {

// Writes the files whole or none of them (temporary files take the old ones'
// places only when all are complete); on failure the operator is told which
// file.
bool WriteWhole(const std::vector<std::pair<QString, QByteArray>>& files) {
    const std::optional<QString> failed = keybase::WriteFilesWhole(files);
    if (!failed) return true;
    ReportJobOutcome(TJobOutcome::Failed(QCoreApplication::translate("graphics", TableNotWrittenText) +
                                         QDir::toNativeSeparators(*failed)));
    return false;
}

bool SameFile(const QString& a, const QString& b) {
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity Case = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity Case = Qt::CaseSensitive;
#endif
    return QFileInfo(a).absoluteFilePath().compare(QFileInfo(b).absoluteFilePath(), Case) == 0;
}

void NothingDone(const char* text) {
    ReportJobOutcome(TJobOutcome::Failed(QCoreApplication::translate("graphics", text), TFailure::NotAsked));
}

void Tell(bool saved, const char* text) {
    if (saved) ReportJobOutcome(TJobOutcome::Done(QCoreApplication::translate("graphics", text)));
}

}  // namespace

TTableLines InForm(const TTableLines& lines, TTableForm form, std::string_view arrayName) {
    return form == TTableForm::C ? CTableLines(lines, arrayName) : lines;
}

QByteArray TableFileBytes(const TTableLines& lines) {
    QString text;
    for (const std::string& line : lines) text += QString::fromStdString(line) + QLatin1Char('\n');
    // Table lines are ASCII but for the strip's comment, which the code page holds.
    return QByteArray::fromStdString(keybase::EncodeKeyBaseFile(text.toStdU16String()).Bytes);
}

QString SplashDataFileName(const QString& tableFileName) {
    // The rule applies to the file's name alone, so a name shorter than three
    // characters cannot reach into its folder's name ("/d/ab" gives "/d/bin").
    const QFileInfo table(tableFileName);
    const QString name = table.fileName();
    const QString data = name.chopped(std::min<qsizetype>(3, name.size())) + QStringLiteral("bin");
    const qsizetype folderLength = tableFileName.size() - name.size();
    return tableFileName.left(folderLength) + data;
}

namespace {

std::optional<TTableLines> StripLines(const TPicture& picture, TTableForm form) {
    const std::optional<TTableLines> table = StripTable(picture);
    if (!table) return std::nullopt;
    return InForm(*table, form, "strip");
}

std::optional<TTableLines> FontLines(const TPicture& picture, TTableForm form) {
    return InForm(FontTable(picture), form, "font");
}

std::optional<TTableLines> SplashLines(const TPicture& picture, TTableForm form) {
    return InForm(SplashTable(picture).Lines, form, "splash");
}

}  // namespace

TTableSave SaveStripTable(const TPicture& picture, const QString& fileName, TTableForm form) {
    std::optional<TTableLines> lines = StripLines(picture, form);
    if (!lines) {
        NothingDone(NoStripText);
        return {};
    }
    TTableSave save{std::move(*lines), false};
    save.Saved = WriteWhole({{fileName, TableFileBytes(save.Lines)}});
    Tell(save.Saved, StripSavedText);
    return save;
}

TTableSave SaveFontTable(const TPicture& picture, const QString& fileName, TTableForm form) {
    TTableSave save{*FontLines(picture, form), false};
    save.Saved = WriteWhole({{fileName, TableFileBytes(save.Lines)}});
    Tell(save.Saved, FontSavedText);
    return save;
}

TTableSave SaveSplashTable(const TPicture& picture, const QString& fileName, TTableForm form) {
    const QString dataFile = SplashDataFileName(fileName);
    // The table would overwrite the data it describes.
    if (SameFile(dataFile, fileName)) {
        NothingDone(SplashSameFileText);
        return {};
    }
    const TSplashTable table = SplashTable(picture);
    const QByteArray data(reinterpret_cast<const char*>(table.Data.data()), qsizetype(table.Data.size()));
    TTableSave save{InForm(table.Lines, form, "splash"), false};
    // Both or neither: a table without its data, or the data of another
    // table, would give the firmware a splash screen nobody drew.
    save.Saved = WriteWhole({{dataFile, data}, {fileName, TableFileBytes(save.Lines)}});
    Tell(save.Saved, SplashSavedText);
    return save;
}

const TTableTool StripTool{&StripLines, &SaveStripTable};
const TTableTool FontTool{&FontLines, &SaveFontTable};
const TTableTool SplashTool{&SplashLines, &SaveSplashTable};

}  // namespace lumidra::graphics
