// Start-up, attach, unplug and re-attach of the board, seen on the wire and
// in the window's control states.
#include "tests/app/MainWindowFixture.h"

#include "hid/HidDevice.h"
#include "desktop/Widgets.h"

#include <QAction>
#include <QMenu>

namespace lumidra::testing {
namespace {

using app::BoardAttached;
using protocol::AttachedDevice;
using protocol::StateReport;

// The state report attach sends, twice: everything zero but the light on.
const auto AttachReport = [] {
    std::vector<std::uint8_t> report(protocol::OutputReportSize, 0);
    report[4] = 1;
    return report;
}();

class AttachDetach : public MainWindowTest {
protected:
    std::vector<QWidget*> SwitchedWidgets() const {
        auto& f = *Form;
        return {f.CheckBox1, f.CheckBox2,   f.CheckLight,    f.Perenos,   f.Button1,    f.Button2, f.Button3, f.Button4,
                f.Button5,   f.Button7,     f.Button8,       f.Button9,   f.EditCmd,    f.EditTxt, f.Edit1,   f.Bar1,
                f.Bar2,      f.ContrastBar, f.ContrastLabel, f.Key,       f.Key_status, f.Label5,  f.Label6,  f.Label7,
                f.Label8,    f.Label9,      f.Label10,       f.Cmd_Label, f.Text_Label};
    }
    std::vector<QAction*> SwitchedMenuItems() const {
        auto& f = *Form;
        return {f.SendImage1, f.ReadDUMP1, f.Rand, f.Zast_Out, f.Read_Flash, f.Erase_Flash, f.Write_Flash};
    }
    // The submenus themselves: hidden, their enabled state is the menu's.
    std::vector<QMenu*> SwitchedMenus() const { return {Form->MenuN1, Form->Menu_Flash}; }

    void ExpectAlwaysEnabled() const {
        auto& f = *Form;
        for (QWidget* w : std::initializer_list<QWidget*>{f.MemoKey, f.Button6, f.LabelTime, f.LabelDate, f.Image1,
                                                          f.Label1, f.Label2}) {
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        }
        EXPECT_TRUE(f.Menu_Trans->isEnabled());
        for (QAction* a : {f.Trans_Type, f.Trans_Pict, f.Zast, f.LoadBase, f.SaveBase}) {
            EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
        }
    }

    void ExpectPreviewGrey() const {
        const QImage& picture = Form->Image1->Picture();
        ASSERT_EQ(picture.size(), QSize(96, 68));
        for (int y = 0; y < 68; ++y) {
            for (int x = 0; x < 96; ++x) {
                ASSERT_EQ(picture.pixelColor(x, y), QColor(207, 207, 207)) << x << "," << y;
            }
        }
    }

    void ExpectDetached() const {
        auto& f = *Form;
        EXPECT_FALSE(BoardAttached);
        EXPECT_EQ(f.Label1->text(), QStringLiteral("Устройство отключено."));
        EXPECT_EQ(f.Label2->text(), QString());
        EXPECT_EQ(f.Label5->text(), QStringLiteral("Канал 1 : 0%"));
        EXPECT_EQ(f.Label6->text(), QStringLiteral("Канал 2 : 0%"));
        for (QLabel* l : {f.Label7, f.Label8, f.Label9, f.Label10}) {
            EXPECT_EQ(l->text(), QStringLiteral(" Off "));
            EXPECT_EQ(desktop::Background(*l), QColor(192, 220, 192));
        }
        EXPECT_EQ(f.Bar1->value(), 0);
        EXPECT_EQ(f.Bar2->value(), 0);
        EXPECT_EQ(f.Edit1->text(), QStringLiteral("0"));
        EXPECT_EQ(f.Key->text(), QStringLiteral(" no key"));
        EXPECT_EQ(f.Key_status->text(), QStringLiteral("    Ключ не активен"));
        for (QCheckBox* box : {f.CheckBox1, f.CheckBox2, f.CheckLight, f.Perenos}) {
            EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
        }
        EXPECT_TRUE(f.EditCmd->text().isEmpty());
        EXPECT_TRUE(f.EditTxt->text().isEmpty());
        EXPECT_EQ(f.ContrastBar->value(), 0);
        EXPECT_EQ(f.ContrastLabel->text(), QStringLiteral("Contrast : 0%"));
        for (QWidget* w : SwitchedWidgets()) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
        for (QAction* a : SwitchedMenuItems()) EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
        for (QMenu* m : SwitchedMenus()) EXPECT_FALSE(m->isEnabled()) << m->objectName().toStdString();
        ExpectAlwaysEnabled();
        EXPECT_FALSE(f.KeyTimer->isActive());
        EXPECT_FALSE(protocol::KeySoundArmed);
        EXPECT_EQ(StateReport, protocol::OutputReport{});
        EXPECT_EQ(protocol::JobReport, protocol::OutputReport{});
        EXPECT_EQ(protocol::DumpOffset, 0);
        ExpectPreviewGrey();
    }

    void ExpectAttached() const {
        auto& f = *Form;
        EXPECT_TRUE(BoardAttached);
        EXPECT_NE(AttachedDevice, nullptr);
        EXPECT_EQ(f.Label1->text(), QStringLiteral("Устройство подключено:"));
        EXPECT_EQ(f.Label2->text(), QStringLiteral("Demo Board, VID=C04E, PID=2014, Ver=01.01, ID=Lumidra Lab"));
        EXPECT_TRUE(f.CheckLight->isChecked());
        EXPECT_TRUE(f.Perenos->isChecked());
        EXPECT_EQ(f.ContrastBar->value(), 13);
        EXPECT_EQ(f.ContrastLabel->text(), QStringLiteral("Contrast : 41%"));
        for (QWidget* w : SwitchedWidgets()) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        for (QAction* a : SwitchedMenuItems()) EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
        for (QMenu* m : SwitchedMenus()) EXPECT_TRUE(m->isEnabled()) << m->objectName().toStdString();
        ExpectAlwaysEnabled();
        EXPECT_TRUE(protocol::KeySoundArmed);
        EXPECT_EQ(StateReport[4], 1);
        ExpectPreviewGrey();
    }
};

TEST_F(AttachDetach, BoardPluggedAtStartIsAttachedAfterTheFirstDeviceChange) {
    const int board = Bus.Plug({});
    Start();
    // Shown, before the loop turns: the detached state, nothing sent.
    ExpectDetached();
    EXPECT_TRUE(Bus.Written(board).empty());

    ASSERT_TRUE(QTest::qWaitFor([] { return BoardAttached; }, 5000));
    ExpectAttached();
    // Once through the backlight box, once at the end of the attach; no
    // contrast command although the slider moved to 13.
    EXPECT_EQ(Bus.Written(board), (TWire{AttachReport, AttachReport}));
    Settle();
    EXPECT_EQ(Bus.Written(board).size(), 2u);
}

TEST_F(AttachDetach, IdentityLineKeepsTheBoardsOwnStrings) {
    hid::TVirtualBoard board;
    board.Strings = {{1, u"ТАВИК"}, {2, u"Демо-плата"}};
    Bus.Plug(board);
    StartAndScan();
    EXPECT_EQ(Form->Label2->text(), QStringLiteral("Демо-плата, VID=C04E, PID=2014, Ver=01.01, ID=ТАВИК"));
}

TEST_F(AttachDetach, NoBoardLeavesTheWindowDetached) {
    StartAndScan();
    ExpectDetached();
    EXPECT_EQ(AttachedDevice, nullptr);
}

TEST_F(AttachDetach, PlugLaterUnplugAndReplug) {
    StartAndScan();
    const int first = PlugAndScan();
    ExpectAttached();
    EXPECT_EQ(Bus.Written(first), (TWire{AttachReport, AttachReport}));

    Form->CheckBox1->setChecked(true);  // indicator 1 on: byte 3 = 0x04
    ASSERT_EQ(Bus.Written(first).size(), 3u);
    EXPECT_EQ(Bus.Written(first)[2], Report({0, 0, 0x04, 1}));

    UnplugAndScan(first);
    EXPECT_EQ(AttachedDevice, nullptr);
    ExpectDetached();
    EXPECT_EQ(Bus.OpenHandles(first), 0u);

    // Sent afresh: the reset cleared the indicator bit from the buffer.
    const int second = PlugAndScan();
    ExpectAttached();
    EXPECT_EQ(Bus.Written(second), (TWire{AttachReport, AttachReport}));
    EXPECT_EQ(Bus.Written(first).size(), 3u);
}

TEST_F(AttachDetach, UnrelatedDevicesComeAndGoWithoutTouchingTheBoard) {
    StartAndScan();
    const int board = PlugAndScan();
    hid::TVirtualBoard keyboard;
    keyboard.VendorID = 0x046D;
    keyboard.ProductID = 0xC31C;
    keyboard.Serial.clear();
    const int other = PlugAndScan(keyboard);
    UnplugAndScan(other);
    ExpectAttached();
    EXPECT_EQ(Bus.Written(board).size(), 2u);
    EXPECT_TRUE(Bus.Written(other).empty());
}

// Two boards with the same identity: the first in the controller's order is
// used. Unplugging either hands the one in use back; the next enumeration
// takes whichever board is left, and the window, still attached, sends nothing.
class TwoBoards : public AttachDetach, public ::testing::WithParamInterface<bool> {};

TEST_P(TwoBoards, UnplugOfEitherReattachesTheOtherQuietly) {
    const bool unplugTheOneInUse = GetParam();
    const int first = Bus.Plug({});
    const int second = Bus.Plug({});
    StartAndScan();
    ExpectAttached();
    EXPECT_EQ(Bus.Written(first), (TWire{AttachReport, AttachReport}));
    EXPECT_TRUE(Bus.Written(second).empty());

    const int gone = unplugTheOneInUse ? first : second;
    const int left = unplugTheOneInUse ? second : first;
    UnplugAndScan(gone);
    ASSERT_NE(AttachedDevice, nullptr);
    EXPECT_TRUE(BoardAttached);
    EXPECT_EQ(Bus.Written(left).size(), unplugTheOneInUse ? 0u : 2u) << "no state report on re-attach";

    // The board left is the one in use now.
    Form->CheckBox2->setChecked(true);
    const auto wire = Bus.Written(left);
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.back(), Report({0, 0, 0x80, 1}));
}

INSTANTIATE_TEST_SUITE_P(Unplug, TwoBoards, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "TheOneInUse" : "TheOther"; });

struct TOtherDevice {
    const char* Name;
    std::uint16_t VendorID;
    std::uint16_t ProductID;
    std::u16string Serial;
};
void PrintTo(const TOtherDevice& device, std::ostream* os) {
    *os << device.Name;
}

class NotTheBoard : public AttachDetach, public ::testing::WithParamInterface<TOtherDevice> {};

TEST_P(NotTheBoard, IsIgnored) {
    hid::TVirtualBoard device;
    device.VendorID = GetParam().VendorID;
    device.ProductID = GetParam().ProductID;
    device.Serial = GetParam().Serial;
    const int id = Bus.Plug(device);
    StartAndScan();
    Settle();
    ExpectDetached();
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_TRUE(Bus.Written(id).empty());
    EXPECT_EQ(Bus.OpenHandles(id), 0u);
}

INSTANTIATE_TEST_SUITE_P(Identities, NotTheBoard,
                         ::testing::Values(TOtherDevice{"Serial0102", 0xC04E, 0x2014, u"01.02"},
                                           TOtherDevice{"LongerSerial", 0xC04E, 0x2014, u"01.01a"},
                                           TOtherDevice{"NoSerial", 0xC04E, 0x2014, u""},
                                           TOtherDevice{"OtherProduct", 0xC04E, 0x2015, u"01.01"},
                                           TOtherDevice{"OtherVendor", 0xC04F, 0x2014, u"01.01"}),
                         [](const auto& test) { return std::string(test.param.Name); });

// The board's object is already checked out when the window's enumeration
// offers it: the window stays detached, and the next device change tries again.
TEST_F(AttachDetach, FailedCheckOutStaysDetachedUntilTheNextDeviceChange) {
    const int board = Bus.Plug({});
    Start();
    auto& controller = *Form->HidDeviceController1;
    // Take the board first, with the window's own change handler out of the way.
    const hid::TNotifyEvent windowHandler = controller.OnDeviceChange();
    controller.BeginLoading();
    controller.SetOnDeviceChange(nullptr);
    controller.EndLoading();
    controller.DeviceChange();
    hid::THidDevice* taken = nullptr;
    ASSERT_TRUE(controller.ClaimByIndex(taken, 0));
    controller.BeginLoading();
    controller.SetOnDeviceChange(windowHandler);
    controller.EndLoading();

    WaitForScanAfter(Scans());  // the start-up notification, queued at creation
    Settle();
    ExpectDetached();
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_TRUE(Bus.Written(board).empty());

    delete taken;  // handed back
    hid::TVirtualBoard mouse;
    mouse.VendorID = 0x046D;
    mouse.Serial.clear();
    PlugAndScan(mouse);
    ExpectAttached();
    EXPECT_EQ(Bus.Written(board), (TWire{AttachReport, AttachReport}));
}

// A board whose node this user may not read and write yet (just appeared,
// its owner and mode not set) is not taken: with no reader and no writes the
// window would show it attached and lose everything. Once access is granted
// the next device change takes it, with the attach's reports.
TEST_F(AttachDetach, BoardNotYetReadableAndWritableIsTakenOnceItIs) {
    hid::TVirtualBoard board;
    board.ReadWriteGranted = false;
    const int id = Bus.Plug(board);
    StartAndScan();
    Settle();
    ExpectDetached();
    EXPECT_EQ(AttachedDevice, nullptr);
    EXPECT_EQ(Bus.OpenHandles(id), 0u);

    const std::size_t before = Scans();
    Bus.SetReadWriteGranted(id, true);
    WaitForScanAfter(before);
    ExpectAttached();
    ASSERT_TRUE(Bus.WaitWritten(id, 2, 5000));
    Settle();
    EXPECT_EQ(Bus.Written(id), (TWire{AttachReport, AttachReport}));
    Bus.Feed(id, std::vector<std::uint8_t>{0, 0xFF, 0x03});  // channel 1 at full scale
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form->Bar1->value() == 1023; }, 5000)) << "its reader runs";
}

// An interface that cannot be opened at all (gone between listing and
// opening, or not this user's) is skipped: the board listed after it attaches.
TEST_F(AttachDetach, AnInterfaceThatCannotBeOpenedIsSkippedAndTheBoardStillAttaches) {
    hid::TVirtualBoard foreign;
    foreign.VendorID = 0x1234;
    const int broken = Bus.Plug(foreign);
    Bus.SetFaults(broken, {.OpenFails = true});
    const int board = StartAttached();
    ExpectAttached();
    EXPECT_EQ(Bus.Written(board), (TWire{AttachReport, AttachReport}));
    EXPECT_TRUE(Seams.Boxes.empty());
}

// An error that escapes a handler reaches the general error report, one box
// with its text, and the event loop goes on.
TEST_F(AttachDetach, AnErrorReachingTheEventLoopIsReportedAndTheRunGoesOn) {
    StartAndScan();
    Seams.BoxAnswers.push_back(desktop::TMsgResult::Ok);
    bool after = false;
    Gui.Post([] { throw hid::EControllerError(hid::DeviceCannotBeOpened); });
    Gui.Post([&] { after = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return after; }, 5000));
    ASSERT_EQ(Seams.Boxes.size(), 1u);
    EXPECT_EQ(Seams.Boxes[0].Text, QStringLiteral("Device cannot be opened"));
    EXPECT_EQ(Seams.Boxes[0].Caption, QStringLiteral("Lumidra"));
    EXPECT_EQ(Seams.Boxes[0].Icon, desktop::TMsgIcon::Error);
}

}  // namespace
}  // namespace lumidra::testing
