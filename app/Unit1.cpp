#include "app/Unit1.h"

#include "app/session/AppState.h"
#include "controls/LcdPanel.h"
#include "controls/LedDisplay.h"
#include "graphics/PlotJob.h"
#include "graphics/Preview.h"
#include "hid/HidDevice.h"
#include "keybase/KeyBase.h"
#include "keybase/KeyBaseRecovery.h"
#include "protocol/Board.h"
#include "protocol/KeySound.h"
#include "protocol/ProtocolState.h"
#include "protocol/Report.h"
#include "protocol/Trace.h"
#include "desktop/CursorBlinkRest.h"
#include "desktop/FramePacer.h"
#include "desktop/Widgets.h"
#include "transfers/Transfers.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QShowEvent>

#include <algorithm>
#include <chrono>

namespace lumidra::app {

using namespace protocol;
using namespace desktop;
using hid::THidDevice;

namespace {

constexpr int DetachedContrast = 0;
constexpr int AttachedContrast = 13;

constexpr TFileDialogOptions SaveDialogOptions = ofOverwritePrompt | ofHideReadOnly | ofNoValidate | ofPathMustExist |
                                                 ofNoReadOnlyReturn | ofNoTestFileCreate | ofEnableSizing;

// The fixed-pitch font of the key list and the status fields. The system's
// choice is taken when the font database confirms it is fixed-pitch; some
// systems map "monospace" to a family that it does not (Noto Sans Mono), and
// the columns of the key list would no longer line up, so the first family
// that is fixed-pitch stands in then.
QFont FixedFont(int pixels) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixels);
    if (!QFontInfo(font).fixedPitch()) {
        const QStringList families = QFontDatabase::families();
        const auto fixed = std::find_if(families.begin(), families.end(), [](const QString& family) {
            return QFontDatabase::isFixedPitch(family) && !QFontDatabase::isPrivateFamily(family);
        });
        if (fixed != families.end()) font.setFamily(*fixed);
    }
    return font;
}

}  // namespace

TForm1::TForm1(hid::THidPlatform& Platform, hid::TGuiThread& Gui, QWidget* parent)
    : QMainWindow(parent),
      SaveDialog1(TFileDialogKind::Save, SaveDialogOptions),
      OpenDialog1(TFileDialogKind::Open),
      OpenPictureDialog1(TFileDialogKind::OpenPicture),
      recoveryFolder_(keybase::RecoveryFolder(false)) {
    setupUi(this);
    ApplyLook();
    SaveDialog1.Filter = QCoreApplication::translate("transfers", transfers::BinaryFilter);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    KeyTimer = new QTimer(this);
    KeyTimer->setObjectName(QStringLiteral("KeyTimer"));
    KeyTimer->setInterval(KeyTimerInterval);
    KeyTimer->setSingleShot(true);

    // Created with the window, the controller queues its first device-change
    // notification for itself: the first re-scan runs once the loop turns,
    // after the window is shown. Its handlers are assigned as stored
    // properties, so assigning OnDeviceChange starts no re-scan of its own.
    HidDeviceController1 = std::make_unique<hid::THidDeviceController>(nullptr, Platform, Gui);
    HidDeviceController1->SetName("HidDeviceController1");
    HidDeviceController1->BeginLoading();
    HidDeviceController1->SetOnEnumerate(hid::THidEnumerateEvent::Of<&TForm1::HidDeviceController1Enumerate>(this));
    HidDeviceController1->SetOnDeviceChange(hid::TNotifyEvent::Of<&TForm1::HidDeviceController1DeviceChange>(this));
    HidDeviceController1->SetOnDeviceData(hid::THidDataEvent::Of<&TForm1::HidDeviceController1DeviceData>(this));
    HidDeviceController1->SetOnDeviceUnplug(hid::THidPlugEvent::Of<&TForm1::HidDeviceController1DeviceUnplug>(this));
    HidDeviceController1->SetOnDeviceCreateError(
        hid::THidDeviceCreateError::Of<&TForm1::HidDeviceController1DeviceCreateError>(this));
    HidDeviceController1->EndLoading();
    session_ = std::make_unique<TBoardSession>(*HidDeviceController1, TSessionRules{});

    Wire();
    pacer_ = new TFramePacer(*this);
    pacer_->SetBeforeFrame([this] { ShowPendingStatus(); });
    FixStatusCaptions();
    new desktop::TCursorBlinkRest(this);
    Timer1->start();
}

TForm1::~TForm1() {
    // Hand the board back and end the controller while every widget its
    // handlers touch still exists.
    Timer1->stop();
    TBoardSession::HandBack();
    HidDeviceController1.reset();
    // A transfer cut by the close leaves the chosen file as it was.
    transfers::ResetTransfers();
}

void TForm1::ApplyLook() {
    QFont windowFont = QApplication::font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);

    const QFont fixed = FixedFont(13);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Label7, Label8, Label9, Label10, LabelTime, LabelDate, Edit1, Key, MemoKey}) {
        widget->setFont(fixed);
    }
    QFont boldEdit = windowFont;
    boldEdit.setBold(true);
    boldEdit.setPixelSize(13);
    EditCmd->setFont(boldEdit);
    EditTxt->setFont(boldEdit);

    for (QLabel* label : {Label7, Label8, Label9, Label10}) SetTwoBackgrounds(*label, PaleGreen, PureGreen);
    // What changes with the reports repaints itself alone, not the group box.
    FillWithBackdrop(*InputBox, {Label5, Label6, Key_status, Bar1, Bar2});
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Label5, Label6, Key_status, Key, Label7, Label8, Label9, Label10, Bar1, Bar2})
        KeepLooks(*widget);
    SetBackground(*LabelTime, SkyBlue);
    SetBackground(*LabelDate, SkyBlue);
    SetBackground(*Key, QApplication::palette().color(QPalette::ToolTipBase));

    for (QLabel* label : centralwidget->findChildren<QLabel*>()) {
        if (label->property(AutoSizeProperty).toBool()) label->adjustSize();
    }

    // The three submenus stay out of the menu bar for the whole run.
    for (QMenu* menu : {MenuN1, Menu_Trans, Menu_Flash}) menu->menuAction()->setVisible(false);
}

void TForm1::Wire() {
    const auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    const auto onToggle = [this](QCheckBox* box, void (TForm1::*handler)()) {
        // Every change of the ticked state, by the user or by code.
        connect(box, &QCheckBox::toggled, this, [this, handler] { (this->*handler)(); });
    };
    const auto onTrigger = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };

    onToggle(CheckBox1, &TForm1::CheckBox1Click);
    onToggle(CheckBox2, &TForm1::CheckBox2Click);
    onToggle(CheckLight, &TForm1::CheckLightClick);
    onClick(Button1, &TForm1::Button1Click);
    onClick(Button2, &TForm1::Button2Click);
    onClick(Button3, &TForm1::Button3Click);
    onClick(Button4, &TForm1::SendImage1Click);
    onClick(Button5, &TForm1::ReadDUMP1Click);
    onClick(Button6, &TForm1::Button6Click);
    onClick(Button7, &TForm1::Button7Click);
    onClick(Button8, &TForm1::Button8Click);
    onClick(Button9, &TForm1::Button9Click);
    connect(ContrastBar, &QSlider::valueChanged, this, [this] { ContrastBarChange(); });
    connect(Image1, &graphics::TImage::DoubleClicked, this, [this] { SendImage1Click(); });
    connect(MemoKey, &QPlainTextEdit::textChanged, this, [this] { MemoKeyChange(); });
    Edit1->installEventFilter(this);
    EditTxt->installEventFilter(this);

    onTrigger(SendImage1, &TForm1::SendImage1Click);
    onTrigger(ReadDUMP1, &TForm1::ReadDUMP1Click);
    onTrigger(Rand, &TForm1::RandClick);
    onTrigger(Zast_Out, &TForm1::Zast_OutClick);
    onTrigger(Trans_Type, &TForm1::Trans_TypeClick);
    onTrigger(Trans_Pict, &TForm1::Trans_PictClick);
    onTrigger(Zast, &TForm1::ZastClick);
    onTrigger(Read_Flash, &TForm1::Read_FlashClick);
    onTrigger(Erase_Flash, &TForm1::Erase_FlashClick);
    onTrigger(Write_Flash, &TForm1::Write_FlashClick);
    onTrigger(LoadBase, &TForm1::LoadBaseClick);
    onTrigger(SaveBase, &TForm1::SaveBaseClick);

    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(KeyTimer, &QTimer::timeout, this, [this] { KeyTimerTimer(); });
}

// A typed character goes through the edit's key handler first, which may let
// it pass, swallow it (code 0), refuse it (code 7) or replace it.
bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != Edit1 && watched != EditTxt)) {
        return QMainWindow::eventFilter(watched, event);
    }
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.size() != 1) return false;
    const QChar typed = text.front();
    QChar key = typed;
    if (watched == Edit1) {
        Edit1KeyPress(key);
    } else {
        EditTxtKeyPress(key);
    }
    if (key == typed) return false;
    if (key.unicode() != 0 && key.unicode() != 7) static_cast<QLineEdit*>(watched)->insert(key);
    return true;
}

QSize TForm1::OuterSize() const {
    return frameGeometry().size();
}

// Sizes are the window's outer sizes. Until the platform reports a frame the
// inner size stands for it; once it does, the inner limits shrink by the
// frame, so the outer ones stay the design's.
void TForm1::FitFrame() {
    const QSize extra = frameGeometry().size() - size();
    if (extra == frameExtra_ || extra.width() < 0 || extra.height() < 0) return;
    // Laid out by layout managers (all panels shown), the window takes its
    // limits from its layouts.
    if (centralwidget->layout() != nullptr) return;
    const bool untouched = size() + frameExtra_ == DesignSize;
    frameExtra_ = extra;
    setMinimumSize(MinimumSize - extra);
    if (untouched && windowState() == Qt::WindowNoState) {
        resize(DesignSize - extra);
        CentreOnScreen(*this);
    }
}

bool TForm1::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show: FitFrame(); break;
        default: break;
    }
    return result;
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous()) return;  // a restore from the task bar, not a show
    if (!centred_) {
        centred_ = true;
        CentreOnScreen(*this);
    }
    FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
    TCloseAction action = TCloseAction::Free;
    FormClose(action);
    if (action == TCloseAction::None) {
        event->ignore();
        return;
    }
    closing_ = true;
    event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize() {
    if (centralwidget->layout() != nullptr) return;  // the layouts place the memo
    const QSize outer = OuterSize();
    MemoKey->resize(outer.width() - 330, outer.height() - 99);
}

// The controls that work only with a board, in the order the two states
// switch them, each with the value that state gives it. A value changes while
// its control is disabled: on attach before it is enabled, on detach after it
// is disabled, so the contrast bar's move sends no command either way (the
// backlight box's handler sends whenever it is ticked, whatever its state).
std::vector<TForm1::TBoardControl> TForm1::BoardControls() {
    const auto untick = [](QCheckBox* box) {
        return [box](bool attached) {
            if (!attached) box->setChecked(false);
        };
    };
    const auto tick = [](QCheckBox* box) { return [box](bool attached) { box->setChecked(attached); }; };
    const auto clear = [](QLineEdit* edit) {
        return [edit](bool attached) {
            if (!attached) edit->clear();
        };
    };
    return {
        {CheckBox1, untick(CheckBox1)},
        {CheckBox2, untick(CheckBox2)},
        {CheckLight, tick(CheckLight)},
        {Button1, {}},
        {Button2, {}},
        {Button3, {}},
        {Button4, {}},
        {Button5, {}},
        {Button7, {}},
        {Button8, {}},
        {Button9, {}},
        {EditCmd, clear(EditCmd)},
        {EditTxt, clear(EditTxt)},
        {Bar1, {}},
        {Bar2, {}},
        {ContrastBar, [this](bool attached) { ContrastBar->setValue(attached ? AttachedContrast : DetachedContrast); }},
        {Edit1, {}},
        {Key, {}},
        {Key_status, {}},
        {Label5, {}},
        {Label6, {}},
        {Label7, {}},
        {Label8, {}},
        {Label9, {}},
        {Label10, {}},
        {ContrastLabel,
         [this](bool attached) {
             SetCaption(*ContrastLabel, controls::ContrastLabelText(attached ? AttachedContrast : DetachedContrast));
         }},
        {Cmd_Label, {}},
        {Text_Label, {}},
        {Perenos, tick(Perenos)},
    };
}

void TForm1::SetBoardControls(bool attached) {
    for (const TBoardControl& control : BoardControls()) {
        if (!attached) control.Widget->setEnabled(false);
        if (control.SetValue) control.SetValue(attached);
        if (attached) control.Widget->setEnabled(true);
    }
    SetBoardMenusEnabled(attached);
}

// A hidden action always reads as disabled, so the two hidden submenus keep
// their enabled state on the menu itself (which passes it on to its entry).
void TForm1::SetBoardMenusEnabled(bool enabled) {
    MenuN1->setEnabled(enabled);
    Menu_Flash->setEnabled(enabled);
    for (QAction* action : {SendImage1, ReadDUMP1, Rand, Zast_Out, Read_Flash, Erase_Flash, Write_Flash}) {
        action->setEnabled(enabled);
    }
}

// The detached-state reset: the window as it is with no board.
void TForm1::FormShow() {
    Timer1Timer();
    SetCaption(*Label1, QCoreApplication::translate("app", "Устройство отключено."));
    SetCaption(*Label2, QString());
    ResetStatus();
    Edit1->setText(QStringLiteral("0"));
    // Clearing a ticked box runs its handler; with no board nothing goes out,
    // and the buffer is zeroed below.
    SetBoardControls(false);
    KeyTimer->stop();
    KeySoundArmed = false;
    StateReport.fill(0);
    JobReport.fill(0);
    // A plot under way ends with the board; its record file is closed.
    graphics::EndPlot();
    ClearJobFlags();
    graphics::BlankPreview(*Image1);
    DumpOffset = 0;
    BoardAttached = false;
}

void TForm1::HidDeviceController1DeviceChange(hid::TObject*) {
    // After a close is accepted the board has been handed back for good.
    if (closing_) return;
    HidDeviceController1->RunEnumeration();
    if (AttachedDevice == nullptr && BoardAttached) FormShow();
    // The job its board's hand-back cut off ends on that board when this
    // re-scan took it again, and nowhere otherwise; the operator hears of it once.
    session_->EndCutJob();
}

bool TForm1::HidDeviceController1Enumerate(THidDevice* HidDev, std::int32_t Idx) {
    if (!session_->Offer(*HidDev, Idx)) return true;
    // Still in the attached state (a board came back before the reset): the
    // window is left as it is.
    if (BoardAttached) return true;

    SetCaption(*Label1, QCoreApplication::translate("app", "Устройство подключено:"));
    // The device's strings as the device gives them (UTF-16): their narrow
    // form goes through the ANSI code page on Windows, which turns every
    // character outside it (a Russian board's name on a western system) into
    // '?'. Where that code page holds them, the two read the same.
    const hid::THidAttributes& identity = AttachedDevice->Identity();
    SetCaption(*Label2,
               DeviceIdentityLine(QString::fromStdU16String(AttachedDevice->StringByIndex(2)), identity.VendorID,
                                  identity.ProductID, QString::fromStdU16String(AttachedDevice->SerialString()),
                                  QString::fromStdU16String(AttachedDevice->StringByIndex(1))));
    // Ticking the backlight box sends StateReport with the light on at once:
    // the first of the attach's two reports.
    SetBoardControls(true);
    // What the last board's reports left for a frame is not this board's.
    status_.Reset(status_.Shown());
    graphics::BlankPreview(*Image1);
    TBoardSession::Greet();
    BoardAttached = true;
    return true;
}

void TForm1::HidDeviceController1DeviceUnplug(THidDevice* HidDev) {
    // Any board going away hands back the one in use; the device change that
    // follows re-attaches whichever board is still there, or resets the window,
    // and ends a job the hand-back cut off (no box here).
    session_->Unplug(*HidDev);
}

// An interface that vanished between listing and opening, or that this user
// may not open, is left out of this re-scan only: the others, the board
// among them, are still offered, and the next re-scan tries it again.
void TForm1::HidDeviceController1DeviceCreateError(hid::THidDeviceController*, hid::THidPnPInfo*, bool& Handled,
                                                   bool& RetryCreate) {
    Handled = true;
    RetryCreate = false;
}

void TForm1::FormClose(TCloseAction& Action) {
    if (!KeyBaseSaved && !unattended_) {
        const bool lose =
            Seams().MessageBox(
                QCoreApplication::translate("app", "Изменения в базе ключей будут потеряны! Всё равно выйти?  "),
                QString::fromLatin1(AppTitle), TMsgIcon::Warning, TMsgButtons::OkCancel) == TMsgResult::Ok;
        // The system may end the run while the question is open: its answer
        // is then the unattended close's.
        if (!unattended_) {
            if (!lose) {
                Action = TCloseAction::None;
                return;
            }
            WithdrawRecovery();
        }
    }
    if (!KeyBaseSaved && unattended_) SaveKeyBaseAside();
    // A plot ends with the run: its record is closed.
    graphics::EndPlot(!unattended_);
    // The board is handed back before the window and the controller go away.
    session_->Close();
}

void TForm1::Button6Click() {
    close();
}

void TForm1::CloseUnattended() {
    unattended_ = true;
    // A close under way (its question open) ignores a second one: the box
    // is ended and that close goes on; otherwise this one runs now.
    if (QWidget* box = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(box)) {
            dialog->reject();
        } else {
            box->close();
        }
    }
    close();
}

void TForm1::MemoKeyChange() {
    KeyBaseSaved = false;
    keyBaseAside_ = false;
}

void TForm1::SaveKeyBaseAside() {
    // Nobody can be asked: the text goes to a recovery file instead, once
    // for one text (a session end asks first and ends after).
    if (KeyBaseSaved || keyBaseAside_) return;
    const QString file =
        keybase::SaveKeyBaseRecovery(keybase::MemoText(*MemoKey), recoveryFolder_, Seams().Now(), recoveryLatestOnly_);
    if (!file.isEmpty()) recoveryFiles_ << file;
    keyBaseAside_ = true;
}

void TForm1::WithdrawRecovery() {
    keybase::WithdrawKeyBaseRecovery(recoveryFiles_, recoveryFolder_);
    recoveryFiles_.clear();
}

bool TForm1::OpenTrace(protocol::TTraceFile& file, const std::string& fileName) {
    return file.Open(fileName, "lumidra", &TForm1::TraceStopped);
}

void TForm1::TraceStopped(const protocol::TTraceFailure& failure) {
    const QString name = QString::fromLocal8Bit(failure.FileName);
    Seams().Notice(
        failure.ReaderGone()
            ? QCoreApplication::translate("app",
                                          "Трассировка в '%1' остановлена: её читатель закрылся. "
                                          "Остальное работает как прежде.")
                  .arg(name)
            : QCoreApplication::translate("app", "Трассировка в '%1' остановлена: %2. Остальное работает как прежде.")
                  .arg(name, qt_error_string(failure.Error)));
}

void TForm1::LoadBaseClick() {
    keybase::LoadBaseClick(*MemoKey, OpenDialog1);
    if (KeyBaseSaved) WithdrawRecovery();
}

void TForm1::SaveBaseClick() {
    keybase::SaveBaseClick(*MemoKey, SaveDialog1);
    if (KeyBaseSaved) WithdrawRecovery();
}

void TForm1::CheckBox1Click() {
    controls::CheckBox1Click(CheckBox1->isChecked());
}

void TForm1::CheckBox2Click() {
    controls::CheckBox2Click(CheckBox2->isChecked());
}

void TForm1::CheckLightClick() {
    controls::CheckLightClick(CheckLight->isChecked());
}

void TForm1::Timer1Timer() {
    const controls::TClockTexts texts = controls::ClockTexts(Seams().Now());
    LabelTime->setText(texts.Time);
    LabelDate->setText(texts.Date);
}

}  // namespace lumidra::app
