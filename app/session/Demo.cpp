#include "app/session/Demo.h"

#include <QCoreApplication>

#include <cmath>
#include <numbers>

namespace lumidra::app {

namespace {

// Keys the demo board's reader sees in turn.
constexpr std::array<std::array<std::uint8_t, 8>, 3> DemoKeys{{
    {0x01, 0x00, 0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E},
    {0x01, 0x00, 0x00, 0x17, 0x28, 0x39, 0x4A, 0x5B},
    {0x01, 0x00, 0x00, 0x24, 0x35, 0x46, 0x57, 0x68},
}};
constexpr std::int64_t KeyCycleMs = 6000;
constexpr std::int64_t KeyHeldMs = 2000;
constexpr std::int64_t KeyReadMs = 2500;
constexpr std::int64_t InputsPeriodMs = 3000;

std::uint16_t Wave(double seconds, double period, double amplitude, double phase) {
    const double v = 512 + amplitude * std::sin(2 * std::numbers::pi * seconds / period + phase);
    return static_cast<std::uint16_t>(std::lround(v));
}

}  // namespace

QString DemoTitle() {
    return QCoreApplication::translate("app", "Lumidra (демо)");
}

TDemoSurroundings DemoSurroundings(std::chrono::milliseconds elapsed) {
    const std::int64_t ms = elapsed.count();
    const double seconds = static_cast<double>(ms) / 1000.0;
    TDemoSurroundings s;
    s.Channel1 = Wave(seconds, 20.0, 450.0, 0.0);
    s.Channel2 = Wave(seconds, 33.0, 300.0, 1.0);
    // Gray code: one input changes at a time.
    const auto step = static_cast<std::uint8_t>((ms / InputsPeriodMs) & 0x0F);
    s.Inputs = static_cast<std::uint8_t>(step ^ (step >> 1));
    const std::int64_t inCycle = ms % KeyCycleMs;
    s.KeyId = DemoKeys[static_cast<std::size_t>(ms / KeyCycleMs) % DemoKeys.size()];
    s.KeyStatus = inCycle < KeyHeldMs ? 1 : inCycle < KeyReadMs ? 2 : 0;
    return s;
}

TDemoBoard::TDemoBoard() : board_(bus_) {
    reports_.setTimerType(Qt::PreciseTimer);
    reports_.setInterval(1000 / ReportsPerSecond);
    QObject::connect(&reports_, &QTimer::timeout, [this] { board_.Step(); });
    surroundings_.setInterval(SurroundingsPeriod);
    QObject::connect(&surroundings_, &QTimer::timeout, [this] { Surroundings(); });
}

TDemoBoard::~TDemoBoard() {
    reports_.stop();
    surroundings_.stop();
}

void TDemoBoard::Start() {
    clock_.start();
    Surroundings();
    reports_.start();
    surroundings_.start();
}

void TDemoBoard::Surroundings() {
    const auto s = DemoSurroundings(std::chrono::milliseconds(clock_.elapsed()));
    auto& model = board_.Model();
    model.SetChannel(1, s.Channel1);
    model.SetChannel(2, s.Channel2);
    model.SetInputs(s.Inputs);
    if (s.KeyStatus == 1)
        model.PresentKey(s.KeyId);
    else
        model.SetKeyStatus(s.KeyStatus);
}

}  // namespace lumidra::app
