// `lumidra-cli plot`: the plot's points into the window's record file or a
// CSV, for a number of reports, a number of seconds, or until Ctrl+C.
#include "app/cli/Commands.h"

#include "graphics/PlotJob.h"
#include "graphics/PlotLogic.h"
#include "protocol/ProtocolState.h"

#include <QCoreApplication>

namespace lumidra::cli {

namespace {

using TForm = desktop::TOutputFile::TForm;

// The plot's view here: points as CSV, or only counted.
class TPlot final : public TCliCommand, public graphics::TPlotView {
public:
    explicit TPlot(TCommandHost& host) : TCliCommand(host) { graphics::PlotView = this; }
    ~TPlot() override {
        if (graphics::PlotView == this) graphics::PlotView = nullptr;
    }
    TPlot(const TPlot&) = delete;
    TPlot& operator=(const TPlot&) = delete;

    int Prepare() override {
        // Made once the board is found: a run that finds none leaves it alone.
        record_ = ArgumentText(Options().Value("--out"));
        desktop::TOutputFile& out = Options().Has("--csv") ? csv_ : graphics::PlotFile.Output();
        return host_.CheckOutput(out, Options().Value("--out"), TForm::Stream) ? ExitDone : ExitFailed;
    }

    void Start() override {
        const bool csv = Options().Has("--csv");
        if (csv && (!csv_.Open(record_, TForm::Stream) || !csv_.Write("point,x,y\n", 10))) {
            host_.OutputFailed(csv_);
            return;
        }
        // With --csv the CSV is the record: the window's goes nowhere.
        graphics::StartPlot(*this, csv ? desktop::KeptInMemory : record_);
        if (Options().Has("--seconds")) {
            host_.After(Options().Number("--seconds", 1) * 1000, [this] { graphics::StopPlot(*this); });
        }
        host_.StartJob();
    }

    void Stepped() override {
        // Stopped after its step, as the window's close would: the board's
        // answer to the request in flight ends the job there.
        if (Options().Has("--reports") && reports_ >= Options().Number("--reports", 1) && protocol::PlotRunning) {
            graphics::StopPlot(*this);
        }
    }

    std::optional<TProgress> Progress() const override {
        return TProgress{reports_, Options().Number("--reports", 0), "reports"};
    }

    // --- the plot's view --------------------------------------------------------
    void Clear() override {}
    void PaintPoints(const graphics::TPointReport& points) override {
        ++reports_;
        if (!csv_.IsOpen() || host_.Failing()) return;
        std::string lines;
        for (int i = 0; i < graphics::PlotPointsPerReport; ++i) {
            const auto at = 2 * std::size_t(i);
            const graphics::TPlotPixel pixel = graphics::PlotPixel(i, points[at], points[at + 1]);
            lines += std::to_string(point_++) + ',' + std::to_string(pixel.X) + ',' + std::to_string(pixel.Y) + '\n';
        }
        if (!csv_.Write(lines.data(), qint64(lines.size()))) host_.OutputFailed(csv_);
    }
    void ShowNote(const QString& text) override {
        // Only the record's failures come here: a failed write as any other.
        if (text.isEmpty()) return;
        host_.FailWrite(text, graphics::PlotFile.ReaderGone());
    }
    bool Showing() const override { return true; }
    void Hide() override {}
    void UpdateButtons() override {}

private:
    QString record_;
    desktop::TOutputFile csv_;
    std::int64_t reports_ = 0;  // plot reports painted
    std::int64_t point_ = 0;    // the CSV's next point
};

}  // namespace

std::string PlotFault(const TCliOptions& options) {
    if (!options.Has("--out")) return QCoreApplication::translate("cli", "plot: нужен --out FILE").toStdString();
    if (options.Has("--reports") && options.Has("--seconds")) {
        return QCoreApplication::translate("cli", "plot: --reports и --seconds исключают друг друга").toStdString();
    }
    return {};
}

std::unique_ptr<TCliCommand> MakePlot(TCommandHost& host) {
    return std::make_unique<TPlot>(host);
}

}  // namespace lumidra::cli
