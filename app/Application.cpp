#include "app/Application.h"

#include "desktop/Seams.h"

#include <QCoreApplication>
#include <stdexcept>

namespace lumidra::app {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

void ShowException(const std::exception_ptr& error) {
    QString text = QCoreApplication::translate("app", "Неизвестная ошибка");
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {}
    desktop::Seams().MessageBox(text, QString::fromLatin1(desktop::AppTitle), desktop::TMsgIcon::Error,
                                desktop::TMsgButtons::Ok);
}

}  // namespace lumidra::app
