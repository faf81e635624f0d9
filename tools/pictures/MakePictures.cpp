// lumidra-pictures: the guide's pictures, made by the program itself. The
// window without a board, the demo mode's window with every panel, each panel, each menu, the chart and
// plot windows and a message box, in one language, as PNG files. tools/make-pictures.sh
// runs it offscreen for both languages with the project's font.
#include "app/AllPanels.h"
#include "app/session/BoardSource.h"
#include "app/session/Demo.h"
#include "graphics/ChartWindow.h"

#include <QComboBox>
#include "app/session/Language.h"
#include "app/session/QtGuiThread.h"
#include "app/session/Startup.h"
#include "app/Unit1.h"
#include "graphics/Unit2.h"
#include "hid/virtual/VirtualHidBus.h"
#include "protocol/ProtocolState.h"
#include "desktop/QtSeams.h"
#include "desktop/Seams.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* Usage =
    "Usage: lumidra-pictures --lang ru|en --out FOLDER\n"
    "Writes the guide's pictures of the program, in one language, into FOLDER: no-board-LANG.png\n"
    "(the window as it opens, no board attached) and, in the demo mode, window-LANG.png (every panel\n"
    "shown), panel-NAME-LANG.png for each panel, menu-NAME-LANG.png for each menu, chart-LANG.png,\n"
    "plot-LANG.png and message-box-LANG.png. Run it through\n"
    "tools/make-pictures.sh, which gives it the project's font and Qt's offscreen platform.\n";

// Lets the event loop run for `ms`: the demo board reports meanwhile.
void Run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class TPictures {
public:
    TPictures(QString folder, QString language) : folder_(std::move(folder)), language_(std::move(language)) {}

    bool Save(QWidget& widget, const QString& name) {
        const QString file = QDir(folder_).filePath(name + QLatin1Char('-') + language_ + QStringLiteral(".png"));
        if (widget.grab().save(file)) return true;
        std::fprintf(stderr, "lumidra-pictures: cannot write %s\n", qPrintable(file));
        ok_ = false;
        return false;
    }
    bool Ok() const { return ok_; }

private:
    QString folder_;
    QString language_;
    bool ok_ = true;
};

void SaveMenus(lumidra::app::TForm1& form, TPictures& pictures) {
    for (QAction* entry : form.menuBar()->actions()) {
        QMenu* const menu = entry->menu();
        if (menu == nullptr || !entry->isVisible()) continue;
        menu->popup(form.mapToGlobal(QPoint(0, 0)));
        Run(100);
        pictures.Save(*menu, QStringLiteral("menu-") + menu->objectName());
        menu->hide();
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace lumidra;

    std::string lang;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (i + 1 < argc && argument == "--lang") {
            lang = argv[++i];
        } else if (i + 1 < argc && argument == "--out") {
            out = argv[++i];
        } else {
            std::fprintf(stderr, "lumidra-pictures: unexpected argument '%s'\n%s", argument.c_str(), Usage);
            return 2;
        }
    }
    if (!app::IsLanguageOption(lang) || out.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }

    QApplication application(argc, argv);
    const app::TTranslations translations(app::ChooseLanguage({}, lang));
    desktop::QtSeams toolkitSeams;
    desktop::SetDefaultSeams(&toolkitSeams);
    application.setApplicationName(QString::fromLatin1(desktop::AppTitle));
    app::InitialiseRunState();

    TPictures pictures(QString::fromLocal8Bit(out.c_str()), QString::fromStdString(lang));
    app::QtGuiThread gui;
    {
        // Without a board: the window as it opens by default, nothing attached.
        hid::VirtualHidBus noBoard;
        app::TForm1 detached(noBoard, gui);
        detached.show();
        Run(300);
        pictures.Save(detached, QStringLiteral("no-board"));
        detached.close();
    }
    app::InitialiseRunState();
    // The plot's record goes to the start folder: a scratch one, not the tree.
    const QTemporaryDir scratch;
    protocol::StartFolder = scratch.path();

    app::TBoardSource boards(true);
    app::TForm1 form(boards.Platform(), gui);
    app::ShowAllPanels(form);
    form.setWindowTitle(app::DemoTitle());
    graphics::TForm2 plot;
    form.show();
    boards.Demo()->Start();
    Run(2500);  // attached, and the channels and inputs have moved

    pictures.Save(form, QStringLiteral("window"));
    for (QWidget* panel : std::vector<QWidget*>{form.InputBox, form.OutputBox, form.StatusBox, form.GroupBox2}) {
        pictures.Save(*panel, QStringLiteral("panel-") + panel->objectName());
    }
    SaveMenus(form, pictures);

    // The chart of the last ten seconds (it has recorded since the start).
    graphics::TChartWindow chart;
    chart.Span->setCurrentIndex(0);
    chart.show();
    Run(2500);
    pictures.Save(chart, QStringLiteral("chart"));
    chart.close();

    form.Rand->trigger();  // the plot window, drawing the demo board's points
    Run(2500);
    pictures.Save(plot, QStringLiteral("plot"));
    plot.close();

    // The box that guards unsaved changes to the key base, as closing shows
    // it; photographed while open, then answered Cancel.
    protocol::KeyBaseSaved = false;
    QTimer::singleShot(300, [&pictures] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            pictures.Save(*box, QStringLiteral("message-box"));
            box->close();
        }
    });
    form.close();
    protocol::KeyBaseSaved = true;
    return pictures.Ok() ? 0 : 1;
}
