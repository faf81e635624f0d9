// The main window: every control, menu item and non-visual component of the
// program, the window's handlers, and the attach and detach of the board.
//
// Only the input group, the key base memo and the two key base menu items are
// ever shown; every other control exists, is wired and follows the attached
// and detached states, but nothing shows it.
#pragma once

#include "app/session/BoardSession.h"
#include "app/session/JobSteps.h"
#include "app/ui_Unit1.h"
#include "hid/HidDeviceController.h"
#include "protocol/InputDecode.h"
#include "protocol/StatusDisplay.h"
#include "desktop/Seams.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumidra::desktop {
class TFramePacer;
}  // namespace lumidra::desktop

namespace lumidra::protocol {
class TTraceFile;
struct TTraceFailure;
}  // namespace lumidra::protocol

namespace lumidra::hid {
class TGuiThread;
class THidPlatform;
}  // namespace lumidra::hid

namespace lumidra::app {

enum class TCloseAction { None, Hide, Free, Minimize };

// Outer sizes of the window (frame included).
inline constexpr QSize DesignSize{626, 350};
inline constexpr QSize MinimumSize{500, 350};

class TForm1 : public QMainWindow, public Ui::TForm1 {
    Q_OBJECT
public:
    TForm1(hid::THidPlatform& Platform, hid::TGuiThread& Gui, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- non-visual components ---------------------------------------------
    std::unique_ptr<hid::THidDeviceController> HidDeviceController1;
    // The board session the handlers below hand their events to.
    std::unique_ptr<TBoardSession> session_;
    QTimer* Timer1;    // the clock labels, every second from start
    QTimer* KeyTimer;  // 2 s after a key sound, stopped at start
    desktop::TFileDialog SaveDialog1;
    desktop::TFileDialog OpenDialog1;
    desktop::TFileDialog OpenPictureDialog1;

    // --- start-up, attach, detach and close ---------------------------------
    void FormShow();  // also the detached-state reset
    void FormClose(TCloseAction& Action);
    void FormResize();
    void HidDeviceController1DeviceChange(hid::TObject* Sender);
    bool HidDeviceController1Enumerate(hid::THidDevice* HidDev, std::int32_t Idx);
    void HidDeviceController1DeviceUnplug(hid::THidDevice* HidDev);
    void HidDeviceController1DeviceCreateError(hid::THidDeviceController* Controller, hid::THidPnPInfo* PnPInfo,
                                               bool& Handled, bool& RetryCreate);
    void Button6Click();
    void MemoKeyChange();
    // The close when the system ends the program: nothing is asked, an
    // unsaved key base goes to a recovery file, the board is told as ever.
    // A box that is open (the close's own question too) is ended first, and
    // its answer is this close's.
    void CloseUnattended();
    // An unsaved key base to a recovery file now, without asking (the
    // session is about to end); not again for the same text. The files of
    // this run go again once the base is saved or loaded, or the operator
    // agrees to lose it (an end that was called off).
    void SaveKeyBaseAside();
    // Where SaveKeyBaseAside writes (keybase::RecoveryFolder); with
    // `latestOnly` the folder keeps only the file written last (the demo's
    // invented keys).
    void SetRecoveryFolder(const QString& folder, bool latestOnly = false) {
        recoveryFolder_ = folder;
        recoveryLatestOnly_ = latestOnly;
    }

    // --- the report traces ---------------------------------------------------
    // Traces the run into `file` as `fileName` (protocol::TTraceFile::Open):
    // false when it cannot be opened. A trace that fails later (its reader
    // went away, its disk is full) stops and TraceStopped tells of it; the
    // window, the board and every other trace go on.
    bool OpenTrace(protocol::TTraceFile& file, const std::string& fileName);
    // Tells the operator which trace stopped and why, without a box to
    // answer.
    static void TraceStopped(const protocol::TTraceFailure& failure);

    // --- the board's input reports (Unit1Input.cpp) --------------------------
    void HidDeviceController1DeviceData(hid::THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                                        std::uint16_t Size);
    void KeyTimerTimer();
    // Sets the status widgets to what the reports so far lead to, now rather
    // than at the next frame (the frame's own hook; tests that read the
    // widgets right after a report).
    void ShowPendingStatus();
    // Holds the status captions to the size of the widest text each can
    // take, so that a new text never lays the window out again.
    void FixStatusCaptions();

    // --- key base --------------------------------------------------------------
    void LoadBaseClick();
    void SaveBaseClick();

    // --- LED display, indicators, clock, LCD backlight ------------------------
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckLightClick();
    void Timer1Timer();

    // --- LED display and LCD panel (Unit1Controls.cpp) -------------------------
    void Edit1KeyPress(QChar& Typed);
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void ContrastBarChange();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void EditTxtKeyPress(QChar& Typed);

    // --- the board's outputs, transfers, pictures and plot (Unit1Controls.cpp,
    //     Unit1Transfers.cpp, Unit1Graphics.cpp, Unit1Plot.cpp) ----------------
    void SendImage1Click();
    void ReadDUMP1Click();
    void RandClick();
    void Zast_OutClick();
    void Trans_TypeClick();
    void Trans_PictClick();
    void ZastClick();
    void Read_FlashClick();
    void Erase_FlashClick();
    void Write_FlashClick();

    // The window's outer size: its frame included where the platform has one.
    QSize OuterSize() const;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyLook();
    void Wire();
    void FitFrame();
    struct TBoardControl {
        QWidget* Widget;
        std::function<void(bool attached)> SetValue;  // empty: the value stays
    };
    std::vector<TBoardControl> BoardControls();
    void SetBoardControls(bool attached);
    void SetBoardMenusEnabled(bool enabled);
    // The status widgets from `was` to `now`: only those that differ, or
    // every one when `all`.
    void ShowStatus(const protocol::TStatusShown& was, const protocol::TStatusShown& now, bool all = false);
    // The status group as an all-zero report shows it, at once; nothing of
    // the reports before is shown later.
    void ResetStatus();
    // What the job steps read from the window's widgets.
    TJobInputs JobInputs();
    void SoundKey();
    // An input label's text and colour: " ON  " on pure green, " Off " on pale green.
    static void ShowInput(QLabel& label, bool on);

    desktop::TFramePacer* pacer_ = nullptr;
    protocol::TStatusFrames status_;  // what the status widgets show and what waits
    QSize frameExtra_{0, 0};          // outer minus inner size, once the platform tells it
    bool centred_ = false;
    bool closing_ = false;
    bool unattended_ = false;
    bool keyBaseAside_ = false;
    QString recoveryFolder_;
    bool recoveryLatestOnly_ = false;
    QStringList recoveryFiles_;  // this run's, until the base is saved, loaded or given up
    void WithdrawRecovery();
};

}  // namespace lumidra::app
