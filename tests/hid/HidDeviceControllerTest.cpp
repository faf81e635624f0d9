// The controller: binding and the start-up re-scan, the order of events in a
// re-scan, create errors, enumeration and check-out, check-in, the property
// setters, and unplug handlers that destroy their device.
#include "HidTestSupport.h"

#include <ostream>
#include <stdexcept>

namespace lumidra::hid::testing {
namespace {

using Log = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Creation, notifications, destruction

class ControllerLifecycle : public HidTest {};

TEST_F(ControllerLifecycle, StartupRescanRaisesDeviceChangeEvenWithNoDevices) {
    Create();
    EXPECT_EQ(Controller->Version(), "1.0.35");
    Controller->SetVersion("9.9");
    EXPECT_EQ(Controller->Version(), "1.0.35");
    EXPECT_EQ(Controller->DevThreadSleepTime(), 100);
    EXPECT_NE(Controller->NotifyWindow(), nullptr);
    EXPECT_EQ(Controller->InterfaceClass(), DefaultHidGuid);
    EXPECT_TRUE(Events.Log.empty()) << "nothing before the loop turns";
    Pump();
    EXPECT_EQ(Events.Log, Log{"change"});
    EXPECT_EQ(Controller->ChangeTag(), -1);
    EXPECT_FALSE(Controller->Rescanning());

    Bus.NotifyChange();
    Pump();
    EXPECT_EQ(Events.Log, Log{"change"}) << "a notification that changes nothing raises nothing";
    EXPECT_EQ(Controller->ChangeTag(), 0);
}

TEST_F(ControllerLifecycle, InertWhenTheLibrariesCannotBeBound) {
    Bus.Plug(Board("A"));
    Bus.SetBindingFails(true, false);
    Create();
    Pump();
    Bus.NotifyChange();
    Pump();
    EXPECT_TRUE(Events.Log.empty());
    EXPECT_EQ(Controller->NotifyWindow(), nullptr);
    EXPECT_EQ(Bus.CallCount("LoadHidLibrary"), 0u) << "HID is bound only after setup";
    EXPECT_EQ(Controller->RunEnumeration(), 0);
    THidDevice* d = reinterpret_cast<THidDevice*>(0x1);
    EXPECT_FALSE(Controller->ClaimByIndex(d, 0));
    EXPECT_EQ(d, nullptr);
    Controller->DeviceChange();
    EXPECT_TRUE(Controller->Devices().empty());
    Controller.reset();
    EXPECT_EQ(Bus.CallCount("UnloadSetupLibrary"), 0u);
}

TEST_F(ControllerLifecycle, SetupReferenceIsReleasedAlsoWhenOnlyTheHidLibraryFails) {
    Bus.SetBindingFails(false, true);
    Create();
    EXPECT_EQ(Controller->NotifyWindow(), nullptr);
    EXPECT_EQ(Bus.SetupReferences(), 1);
    Controller.reset();
    EXPECT_EQ(Bus.SetupReferences(), 0);
}

TEST_F(ControllerLifecycle, DestructionReleasesBindingsAndDropsQueuedNotifications) {
    Bus.Plug(Board("A"));
    Started();
    EXPECT_EQ(Bus.SetupReferences(), 1);
    Bus.NotifyChange();  // still queued when the controller goes
    Controller.reset();
    EXPECT_EQ(Bus.SetupReferences(), 0);
    EXPECT_FALSE(Bus.HidLibraryLoaded());
    Bus.ResetCallCounts();
    Pump();
    EXPECT_EQ(Bus.CallCount("ListInterfaces"), 0u);
    EXPECT_TRUE(Events.Log.empty());
}

TEST_F(ControllerLifecycle, NotificationDuringANotificationRescanIsDropped) {
    Started();
    int arrivals = 0;
    Events.OnArrivalDo = [&](THidDevice*) {
        ++arrivals;
        Bus.NotifyChange();
        Pump();  // a handler that lets the loop turn
    };
    Bus.Plug(Board("A"));
    Bus.ResetCallCounts();
    Pump();
    EXPECT_EQ(arrivals, 1);
    EXPECT_EQ(Bus.CallCount("ListInterfaces"), 1u) << "the nested notification must be dropped";
    EXPECT_FALSE(Controller->Rescanning());
    Bus.NotifyChange();
    Pump();
    EXPECT_EQ(Bus.CallCount("ListInterfaces"), 2u) << "later notifications are handled again";
}

// ---------------------------------------------------------------------------
// Re-scans

class ControllerRescan : public HidTest {};

TEST_F(ControllerRescan, UnplugAndRemovalComeBeforeArrivalAndChangeComesLastOnce) {
    Bus.Plug(Board("A"));
    const int b = Bus.Plug(Board("B"));
    Bus.Plug(Board("C"));
    Started();
    ASSERT_EQ(Paths(), (Log{"A", "B", "C"}));
    // Between two notifications B goes and D comes: the first re-scan sees
    // both, the second nothing.
    Bus.Unplug(b);
    Bus.Plug(Board("D"));
    Pump();
    EXPECT_EQ(Events.Log, (Log{"unplug B", "removal B", "arrival D", "change"}));
    EXPECT_EQ(Paths(), (Log{"A", "C", "D"}));
}

// A known device opened query-only that can now be read and written (a new
// node whose owner and mode were set after it appeared) is a change, so the
// application is offered it again; nothing else about a known device is.
struct TAccessCase {
    const char* Name;
    bool GrantedAtPlug;
    bool GrantedLater;
    Log Expected;
};
void PrintTo(const TAccessCase& c, std::ostream* os) {
    *os << c.Name;
}

class ControllerAccess : public HidTest, public ::testing::WithParamInterface<TAccessCase> {};

TEST_P(ControllerAccess, AccessGrantedLaterIsAChange) {
    TVirtualBoard board = Board("A");
    board.ReadWriteGranted = GetParam().GrantedAtPlug;
    const int a = Bus.Plug(board);
    Started();
    Bus.SetReadWriteGranted(a, GetParam().GrantedLater);
    Pump();
    EXPECT_EQ(Events.Log, GetParam().Expected);
    EXPECT_EQ(Paths(), Log{"A"}) << "the same object: no removal, no arrival";
}

INSTANTIATE_TEST_SUITE_P(Rescan, ControllerAccess,
                         ::testing::Values(TAccessCase{"GrantedLater", false, true, Log{"change"}},
                                           TAccessCase{"StillQueryOnly", false, false, Log{}},
                                           TAccessCase{"GrantedAllAlong", true, true, Log{}},
                                           TAccessCase{"TakenAway", true, false, Log{}}),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST_F(ControllerRescan, GoneDevicesAreRemovedFromTheEndOfTheList) {
    const int a = Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    const int c = Bus.Plug(Board("C"));
    Started();
    Bus.Unplug(a);
    Bus.Unplug(c);
    Pump();
    EXPECT_EQ(Events.Log, (Log{"unplug C", "removal C", "unplug A", "removal A", "change"}));
    EXPECT_EQ(Paths(), Log{"B"});
}

TEST_F(ControllerRescan, ListingFailureRemovesEveryKnownDevice) {
    Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    Bus.SetListingFails(true);
    Bus.NotifyChange();
    Pump();
    EXPECT_EQ(Events.Log, (Log{"unplug B", "removal B", "unplug A", "removal A", "change"}));
    EXPECT_TRUE(Controller->Devices().empty());
    Bus.SetListingFails(false);
    Bus.NotifyChange();
    Pump();
    EXPECT_EQ(Paths(), (Log{"A", "B"})) << "they come back as new objects";
}

TEST_F(ControllerRescan, CheckedOutDeviceThatWentStaysAndIsReportedOnEveryRescan) {
    const int a = Bus.Plug(Board("A"));
    Started();
    Controller->SetOnDeviceData(nullptr);
    THidDevice* d = Claim(0);
    Bus.Unplug(a);
    Pump();
    EXPECT_EQ(Events.Log, (Log{"unplug A", "removal A", "change"}));
    ASSERT_EQ(Controller->Devices().size(), 1u);
    EXPECT_EQ(Controller->Devices()[0], d);
    EXPECT_FALSE(d->Present());
    Events.Log.clear();
    Bus.NotifyChange();
    Pump();
    EXPECT_EQ(Events.Log, (Log{"removal A", "change"})) << "its unplug handler was used up";

    Events.Log.clear();
    Bus.Plug(Board("A"));
    Pump();
    EXPECT_EQ(Events.Log, (Log{"removal A", "arrival A", "change"}));
    ASSERT_EQ(Controller->Devices().size(), 2u);
    EXPECT_EQ(Controller->Devices()[0], d);
    EXPECT_TRUE(Controller->Devices()[1]->Present());
    delete d;  // checked in after the unplug: its slot goes
    EXPECT_EQ(Controller->Devices().size(), 1u);
}

TEST_F(ControllerRescan, OfferedOnlyDuringArrivalAndRemovalHandlers) {
    const int a = Bus.Plug(Board("A"));
    Create();
    std::u16string product;
    bool offeredInRemoval = false;
    Events.OnArrivalDo = [&](THidDevice* dev) {
        EXPECT_TRUE(dev->Offered());
        product = dev->StringByIndex(2);
    };
    Events.OnRemovalDo = [&](THidDevice* dev) { offeredInRemoval = dev->Offered(); };
    Pump();
    EXPECT_EQ(product, u"Demo Board");
    EXPECT_FALSE(Controller->Devices()[0]->Offered());
    Bus.Unplug(a);
    Pump();
    EXPECT_TRUE(offeredInRemoval);
}

// ---------------------------------------------------------------------------
// Create errors

class ControllerCreateError : public HidTest {};

TEST_F(ControllerCreateError, WithoutAHandlerTheErrorEndsTheRescanBeforeAnyEvent) {
    const int a = Bus.Plug(Board("A"));
    Started();
    Bus.Unplug(a);
    const int bad = Bus.Plug(Board("Bad"));
    Bus.SetFaults(bad, {.OpenFails = true});
    try {
        Pump();
        FAIL() << "the error did not leave the re-scan";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Device cannot be opened");
    }
    EXPECT_TRUE(Events.Log.empty());
    EXPECT_EQ(Paths(), Log{"A"}) << "no change to the list";
    EXPECT_FALSE(Controller->Rescanning());
}

TEST_F(ControllerCreateError, UnidentifiableDeviceRaisesItsOwnMessage) {
    const int bad = Bus.Plug(Board("Bad"));
    Bus.SetFaults(bad, {.AttributesFail = true});
    Create();
    EXPECT_THROW(
        {
            try {
                Pump();
            } catch (const EControllerError& e) {
                EXPECT_STREQ(e.what(), "Device cannot be identified");
                throw;
            }
        },
        EControllerError);
}

TEST_F(ControllerCreateError, HandledWithRetryRepeatsTheCreationUntilItSucceeds) {
    Bus.Plug(Board("A"));
    const int bad = Bus.Plug(Board("Flaky"));
    Bus.SetFaults(bad, {.OpenFails = true});
    Create(false);
    Controller->SetOnDeviceCreateError(Events.CreateErrorEvent());
    int calls = 0;
    std::vector<bool> handledOnEntry;
    Events.OnCreateErrorDo = [&](THidPnPInfo* info, bool& handled, bool& retry) {
        EXPECT_EQ(info->InterfacePath, "Flaky");
        handledOnEntry.push_back(handled);
        handled = true;
        retry = true;
        if (++calls == 3) Bus.SetFaults(bad, {});
    };
    Controller->SetOnDeviceChange(Events.ChangeEvent());
    EXPECT_EQ(Events.Log, (Log{"create-error Flaky", "create-error Flaky retry", "create-error Flaky retry",
                               "arrival A", "arrival Flaky", "change"}));
    EXPECT_EQ(handledOnEntry, (std::vector<bool>{false, false, false}));
}

TEST_F(ControllerCreateError, HandledWithoutRetrySkipsTheInterface) {
    Bus.Plug(Board("A"));
    const int bad = Bus.Plug(Board("Bad"));
    Bus.Plug(Board("C"));
    Bus.SetFaults(bad, {.OpenFails = true});
    Create(false);
    Controller->SetOnDeviceCreateError(Events.CreateErrorEvent());
    Events.OnCreateErrorDo = [&](THidPnPInfo*, bool& handled, bool&) { handled = true; };
    Controller->SetOnDeviceChange(Events.ChangeEvent());
    EXPECT_EQ(Events.Log, (Log{"create-error Bad", "arrival A", "arrival C", "change"}));
}

TEST_F(ControllerCreateError, NotHandledLetsTheErrorEscapeWhateverRetrySays) {
    const int bad = Bus.Plug(Board("Bad"));
    Bus.SetFaults(bad, {.OpenFails = true});
    Create(false);
    Controller->SetOnDeviceCreateError(Events.CreateErrorEvent());
    Events.OnCreateErrorDo = [&](THidPnPInfo*, bool&, bool& retry) { retry = true; };
    EXPECT_THROW(Controller->SetOnDeviceChange(Events.ChangeEvent()), EControllerError);
    EXPECT_EQ(Events.Log, Log{"create-error Bad"});
}

TEST_F(ControllerCreateError, OtherErrorsOfTheHandlerLeaveTheScan) {
    const int bad = Bus.Plug(Board("Bad"));
    Bus.SetFaults(bad, {.OpenFails = true});
    Create(false);
    Controller->SetOnDeviceCreateError(Events.CreateErrorEvent());
    Events.OnCreateErrorDo = [&](THidPnPInfo*, bool&, bool&) { throw std::logic_error("handler"); };
    EXPECT_THROW(Controller->SetOnDeviceChange(Events.ChangeEvent()), std::logic_error);
    EXPECT_TRUE(Controller->Devices().empty());
}

// ---------------------------------------------------------------------------
// Enumeration and check-out

class ControllerEnumeration : public HidTest {};

TEST_F(ControllerEnumeration, CountsPresentDevicesOfferedAndStopsOnFalse) {
    Bus.Plug(Board("A"));
    const int b = Bus.Plug(Board("B"));
    Bus.Plug(Board("C"));
    Started();
    EXPECT_EQ(Controller->RunEnumeration(), 1) << "no handler: the first answer counts as false";
    Controller->SetOnEnumerate(Events.EnumerateEvent());
    EXPECT_EQ(Controller->RunEnumeration(), 3);
    EXPECT_EQ(Events.Log, (Log{"enumerate A 0", "enumerate B 1", "enumerate C 2"}));
    Events.Log.clear();
    Events.OnEnumerateDo = [](THidDevice* dev, std::int32_t) { return dev->PnPInfo()->InterfacePath != "B"; };
    EXPECT_EQ(Controller->RunEnumeration(), 2);
    EXPECT_EQ(Events.Log, (Log{"enumerate A 0", "enumerate B 1"}));

    // A checked-out device that went is not offered and not counted.
    Controller->SetOnDeviceData(nullptr);
    Claim(1);
    Bus.Unplug(b);
    Pump();
    Events.Log.clear();
    Events.OnEnumerateDo = nullptr;
    EXPECT_EQ(Controller->RunEnumeration(), 2);
    EXPECT_EQ(Events.Log, (Log{"enumerate A 0", "enumerate C 2"}));
}

TEST_F(ControllerEnumeration, NoDevicesNoCount) {
    Started();
    EXPECT_EQ(Controller->RunEnumeration(), 0);
}

TEST_F(ControllerEnumeration, HandlesAreClosedAfterTheOfferUnlessCheckedOut) {
    const int a = Bus.Plug(Board("A"));
    const int b = Bus.Plug(Board("B"));
    Started();
    Controller->SetOnDeviceData(nullptr);
    Controller->SetOnEnumerate(Events.EnumerateEvent());
    // The application's way: identify, then check out the board by its index.
    Events.OnEnumerateDo = [&](THidDevice* dev, std::int32_t idx) {
        EXPECT_TRUE(dev->Offered());
        EXPECT_EQ(dev->StringByIndex(2), u"Demo Board");
        EXPECT_TRUE(dev->OpenReader());
        EXPECT_TRUE(dev->OpenWriter());
        if (dev->PnPInfo()->InterfacePath == "B") {
            THidDevice* claimed = nullptr;
            EXPECT_TRUE(Controller->ClaimByIndex(claimed, idx));
            EXPECT_EQ(claimed, dev);
        }
        return true;
    };
    EXPECT_EQ(Controller->RunEnumeration(), 2);
    EXPECT_EQ(Bus.OpenHandles(a), 0u);
    EXPECT_EQ(Bus.OpenHandles(b), 3u);
    EXPECT_FALSE(Controller->Devices()[0]->Offered());
    EXPECT_TRUE(Controller->Devices()[1]->Claimed());
}

TEST_F(ControllerEnumeration, ClaimByIndexRejectsBadIndexesAndCheckedOutObjects) {
    Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    Controller->SetOnDeviceData(nullptr);
    THidDevice* d = reinterpret_cast<THidDevice*>(0x1);
    EXPECT_FALSE(Controller->ClaimByIndex(d, -1));
    EXPECT_EQ(d, nullptr);
    d = reinterpret_cast<THidDevice*>(0x1);
    EXPECT_FALSE(Controller->ClaimByIndex(d, 2));
    EXPECT_EQ(d, nullptr);
    ASSERT_TRUE(Controller->ClaimByIndex(d, 1));
    EXPECT_EQ(d, Controller->Devices()[1]);
    EXPECT_TRUE(d->Claimed());
    EXPECT_FALSE(Controller->ClaimByIndex(d, 1));
    EXPECT_EQ(d, nullptr);
    EXPECT_FALSE(Controller->Devices()[0]->Claimed());
}

// ---------------------------------------------------------------------------
// Check-in

class ControllerCheckIn : public HidTest {};

TEST_F(ControllerCheckIn, PresentDeviceIsReplacedAtTheSamePosition) {
    Bus.Plug(Board("A"));
    const int b = Bus.Plug(Board("B"));
    Bus.Plug(Board("C"));
    Started();
    THidDevice* d = Claim(1);
    THidPnPInfo* info = d->PnPInfo();
    d->SetSleepTime(40);
    Recorder own;
    d->SetDataHandler(own.DataEvent());
    delete d;
    ASSERT_EQ(Paths(), (Log{"A", "B", "C"}));
    THidDevice* fresh = Controller->Devices()[1];
    EXPECT_FALSE(fresh->Claimed());
    EXPECT_TRUE(fresh->Present());
    EXPECT_EQ(fresh->Reader(), nullptr);
    EXPECT_EQ(fresh->SleepTime(), 40);
    EXPECT_EQ(fresh->DataHandler(), own.DataEvent());
    EXPECT_EQ(fresh->UnplugHandler(), Events.UnplugEvent());
    EXPECT_EQ(fresh->PnPInfo(), info) << "the plug-and-play record passes to the replacement";
    EXPECT_EQ(Bus.OpenHandles(b), 0u);
    THidDevice* again = Claim(1);
    EXPECT_EQ(again, fresh);
}

TEST_F(ControllerCheckIn, ReplacementThatCannotBeCreatedRemovesTheSlot) {
    Bus.Plug(Board("A"));
    const int b = Bus.Plug(Board("B"));
    Started();
    THidDevice* d = Claim(1);
    Bus.SetFaults(b, {.OpenFails = true});
    delete d;
    EXPECT_EQ(Paths(), Log{"A"});
}

TEST_F(ControllerCheckIn, UnplugHandlerThatDestroysItsDeviceDuringARescan) {
    Bus.Plug(Board("A"));
    const int b = Bus.Plug(Board("B"));
    Bus.Plug(Board("C"));
    Started();
    THidDevice* d = Claim(1);
    d->SetSleepTime(10);
    Events.OnUnplug = [&](THidDevice* dev) {
        EXPECT_EQ(dev, d);
        delete dev;
    };
    Bus.Unplug(b);
    Pump();
    EXPECT_EQ(Events.Log, (Log{"unplug B", "change"})) << "no removal event for a checked-in object";
    EXPECT_EQ(Paths(), (Log{"A", "C"}));
}

TEST_F(ControllerCheckIn, UnplugHandlerThatDestroysItsDeviceDuringControllerDestruction) {
    const int a = Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    Claim(0)->SetSleepTime(10);
    int destroyed = 0;
    Events.OnUnplug = [&](THidDevice* dev) {
        EXPECT_EQ(dev->Controller(), nullptr) << "unlinked before its unplug";
        delete dev;
        ++destroyed;
    };
    Controller.reset();
    EXPECT_EQ(destroyed, 1) << "only the checked-out object is unplugged";
    EXPECT_EQ(Bus.OpenHandles(a), 0u);
}

TEST_F(ControllerCheckIn, UnplugHandlerThatChecksInAnotherDeviceDuringDestruction) {
    Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    THidDevice* first = Claim(0);
    THidDevice* second = Claim(1);
    Events.OnUnplug = [&](THidDevice* dev) {
        if (dev == first) delete second;  // still in the list: replaced there, then destroyed
    };
    Controller.reset();
    EXPECT_EQ(Events.Log, Log{"unplug A"});
}

// ---------------------------------------------------------------------------
// Property setters

class ControllerProperties : public HidTest {};

TEST_F(ControllerProperties, DevThreadSleepTimeMovesOnlyObjectsStillAtTheOldValue) {
    Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    THidDevice* a = Controller->Devices()[0];
    THidDevice* b = Controller->Devices()[1];
    b->SetSleepTime(200);
    Controller->SetDevThreadSleepTime(50);
    EXPECT_EQ(Controller->DevThreadSleepTime(), 50);
    EXPECT_EQ(a->SleepTime(), 50);
    EXPECT_EQ(b->SleepTime(), 200);
    Controller->SetDevThreadSleepTime(5);
    EXPECT_EQ(Controller->DevThreadSleepTime(), 5) << "stored whatever it is";
    EXPECT_EQ(a->SleepTime(), 50);
    EXPECT_EQ(b->SleepTime(), 200);
    Bus.Plug(Board("C"));
    Pump();
    EXPECT_EQ(Controller->Devices()[2]->SleepTime(), 100) << "new objects start at 100";
}

TEST_F(ControllerProperties, ClearingOnDeviceDataStopsTheReadersThatUsedIt) {
    Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    Controller->Devices()[0]->SetSleepTime(10);
    Controller->Devices()[1]->SetSleepTime(10);
    THidDevice* a = Claim(0);
    THidDevice* b = Claim(1);
    Recorder other;
    b->SetDataHandler(other.DataEvent());
    ASSERT_NE(a->Reader(), nullptr);
    ASSERT_NE(b->Reader(), nullptr);
    Controller->SetOnDeviceData(nullptr);
    EXPECT_EQ(a->Reader(), nullptr);
    EXPECT_FALSE(a->DataHandler());
    EXPECT_NE(b->Reader(), nullptr) << "a device with its own handler keeps it";
    Controller->SetOnDeviceData(Events.DataEvent());
    EXPECT_NE(a->Reader(), nullptr) << "setting one starts the reader again";
    EXPECT_EQ(b->DataHandler(), other.DataEvent());
}

TEST_F(ControllerProperties, OnDeviceChangeRescansAtOnceExceptWhileLoading) {
    Create(false);
    Pump();
    Bus.ResetCallCounts();
    Controller->BeginLoading();
    Controller->SetOnDeviceChange(Events.ChangeEvent());
    EXPECT_EQ(Bus.CallCount("ListInterfaces"), 0u);
    Controller->EndLoading();
    Recorder other;
    Controller->SetOnDeviceChange(other.ChangeEvent());
    EXPECT_EQ(Bus.CallCount("ListInterfaces"), 1u);
    Controller->SetOnDeviceChange(other.ChangeEvent());
    EXPECT_EQ(Bus.CallCount("ListInterfaces"), 1u) << "the same handler again does nothing";
    EXPECT_EQ(Controller->OnDeviceChange(), other.ChangeEvent());
}

TEST_F(ControllerProperties, HandlerCopiesFollowTheControllerOnlyWhereTheyMatch) {
    Bus.Plug(Board("A"));
    Bus.Plug(Board("B"));
    Started();
    Recorder other;
    THidDevice* a = Controller->Devices()[0];
    THidDevice* b = Controller->Devices()[1];
    Controller->SetOnDeviceDataError(other.ErrorEvent());
    Controller->SetOnDeviceUnplug(other.UnplugEvent());
    EXPECT_EQ(a->DataErrorHandler(), other.ErrorEvent());
    EXPECT_EQ(b->UnplugHandler(), other.UnplugEvent());
    Recorder third;
    b->MarkUnplugged();  // uses up b's unplug handler
    Controller->SetOnDeviceUnplug(third.UnplugEvent());
    EXPECT_EQ(a->UnplugHandler(), third.UnplugEvent());
    EXPECT_FALSE(b->UnplugHandler());
    EXPECT_EQ(other.Log, Log{"unplug B"});
}

}  // namespace
}  // namespace lumidra::hid::testing
