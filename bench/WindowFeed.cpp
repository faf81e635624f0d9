#include "bench/WindowFeed.h"

#include "app/AllPanels.h"
#include "app/session/AppState.h"
#include "app/Unit1.h"
#include "bench/QtBench.h"
#include "graphics/ChartWindow.h"
#include "protocol/ProtocolState.h"
#include "protocol/InputDecode.h"
#include "tests/support/Reports.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace lumidra::bench {

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void RunLoopFor(std::chrono::milliseconds length) {
    QEventLoop loop;
    QTimer end;
    end.setObjectName(QStringLiteral("benchmark's end"));
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    end.start(length);
    loop.exec();
}

std::vector<std::uint8_t> ChangingStatus(std::uint32_t i) {
    const int swing = (i % 2) ? 0 : 1000;
    std::array<std::uint8_t, 8> key{};
    for (std::uint32_t k = 0; k < key.size(); ++k) key[k] = static_cast<std::uint8_t>(i + k);
    return testing::AsRead(testing::Status(swing + static_cast<int>(i % 11), 1000 - swing + static_cast<int>(i % 7),
                                           static_cast<std::uint8_t>(i % 2 ? 0x0F : 0x00),
                                           static_cast<std::uint8_t>(i % 2 ? 0 : 2), key));
}

std::string Unshown(const app::TForm1& form, const std::vector<std::uint8_t>& fed) {
    const protocol::TStatusView status = protocol::DecodeStatus(fed.data() + 1);
    const QByteArray format = QCoreApplication::translate("protocol", protocol::ChannelTextFormat).toUtf8();
    auto channel = [&](int n, int value) {
        return QString::fromStdString(
            protocol::ChannelText(std::string_view(format.constData(), format.size()), n, value));
    };
    std::string wrong;
    if (form.Bar1->value() != std::min(status.Channel1, form.Bar1->maximum())) wrong += " bar 1";
    if (form.Bar2->value() != std::min(status.Channel2, form.Bar2->maximum())) wrong += " bar 2";
    if (form.Label5->text() != channel(1, status.Channel1)) wrong += " channel 1";
    if (form.Label6->text() != channel(2, status.Channel2)) wrong += " channel 2";
    const QLabel* inputs[] = {form.Label7, form.Label8, form.Label9, form.Label10};
    for (int i = 0; i < 4; ++i) {
        const char* text = status.Inputs[i] ? protocol::InputOnText : protocol::InputOffText;
        if (inputs[i]->text() != QString::fromLatin1(text)) wrong += " input " + std::to_string(i + 1);
    }
    if (status.KeyStatusText &&
        form.Key_status->text() != QCoreApplication::translate("protocol", status.KeyStatusText->c_str()))
        wrong += " key status";
    return wrong;
}

TReportSlots::TReportSlots(hid::VirtualHidBus& bus, int id, int perSecond, TReport report)
    : thread_([this, &bus, id, perSecond, report = std::move(report)] {
          using Clock = std::chrono::steady_clock;
          const auto period = std::chrono::nanoseconds(1'000'000'000LL / perSecond);
          auto next = Clock::now();
          for (std::uint32_t i = 0; !stop_; ++i) {
              last_ = report(i);
              bus.Feed(id, last_);
              ++fed_;
              next += period;
              std::this_thread::sleep_until(next);
          }
          cpu_ = ThreadCpuSeconds();
      }) {}

void TReportSlots::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

TAllPanelsWindow::TAllPanelsWindow()
    : Id(Bus.Plug(hid::TVirtualBoard{})),
      Main(std::make_unique<app::TForm1>(Bus, Gui)),
      Chart(std::make_unique<graphics::TChartWindow>()) {
    app::ShowAllPanels(*Main);
    Main->show();
    Attached = RunUntil([] { return app::BoardAttached; });
    protocol::KeySoundArmed = false;
}

TAllPanelsWindow::~TAllPanelsWindow() {
    Chart.reset();
    Main.reset();
}

}  // namespace lumidra::bench
