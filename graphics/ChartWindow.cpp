#include "graphics/ChartWindow.h"

#include "desktop/Widgets.h"
#include "keybase/KeyBaseFile.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace lumidra::graphics {

TChartWindow* ChartWindow = nullptr;

namespace {

// Where the parts of the drawing go, in pixels.
constexpr int LeftMargin = 44;   // the value axis's labels
constexpr int RightMargin = 20;  // half the last tick's number
constexpr int TopMargin = 24;    // the legend
constexpr int LaneHeight = 14;   // one input's step line
constexpr int BandGap = 8;       // between the channels and the inputs
constexpr int AxisHeight = 18;   // the time axis's labels
constexpr int TickSpacing = 90;  // the least room between two labelled ticks
constexpr int KeyMarkReach = 4;  // a key mark's tool tip shows this near it
// Columns further apart than this are not joined: the board was away.
constexpr double HoldMs = 250;
// The fastest repaint of a following chart, and the slowest.
constexpr int FastestRefreshMs = 40;
constexpr int SlowestRefreshMs = 1000;

// Colours that stay apart for the colour-blind and in grey print: a dark
// blue and a light orange for the channels, black steps, a reddish purple
// for the keys.
const QColor Channel1Colour{0, 114, 178};
const QColor Channel2Colour{230, 159, 0};
const QColor InputsColour{0, 0, 0};
const QColor KeyColour{204, 121, 167};
const QColor GridColour{225, 225, 225};

// A wheel notch shows this much more (or less) time.
constexpr double ZoomPerNotch = 1.25;

constexpr desktop::TFileDialogOptions SaveOptions = desktop::ofOverwritePrompt | desktop::ofHideReadOnly |
                                                    desktop::ofPathMustExist | desktop::ofNoReadOnlyReturn |
                                                    desktop::ofEnableSizing;

int Columns(int width) {
    return std::max(1, width - LeftMargin - RightMargin);
}

// A time in seconds with `decimals` decimals, as the UI's language writes
// them (the CSV keeps its '.').
QString Seconds(double ms, int decimals) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(ms / 1000.0, 'f', decimals);
}

// As many decimals as a tick step needs.
int TickDecimals(std::int64_t step) {
    return step >= 1000 ? 0 : step >= 100 ? 1 : step >= 10 ? 2 : 3;
}

// The file to write and whether it is the picture: the name's suffix
// decides; a name without one gets the suffix of the filter chosen (the
// second is the picture's).
std::pair<QString, bool> SaveTarget(const QString& name, int filterIndex) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("png")) return {name, true};
    if (!suffix.isEmpty()) return {name, false};
    const bool picture = filterIndex == 2;
    return {name + (picture ? QStringLiteral(".png") : QStringLiteral(".csv")), picture};
}

}  // namespace

struct TChartPlot::TFrame {
    QRect Channels;  // 100 % at its top row, 0 % at its bottom row
    QRect Inputs;    // one lane an input, input 1 on top
    double StartMs;
    double MsPerColumn;

    int X(int column) const { return Channels.left() + column; }
    // The time at the middle of the pixel column at `x`.
    double Time(double x) const { return StartMs + (x - Channels.left() + 0.5) * MsPerColumn; }
    int Y(int percent) const { return Channels.bottom() - std::min(percent, 100) * (Channels.height() - 1) / 100; }
    int LaneY(int input, bool on) const { return Inputs.top() + input * LaneHeight + (on ? 3 : LaneHeight - 3); }
};

TChartPlot::TChartPlot(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setMinimumSize(LeftMargin + RightMargin + 200, TopMargin + 100 + BandGap + 4 * LaneHeight + AxisHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAccessibleName(QCoreApplication::translate("Chart", "Каналы и входы во времени"));
    setAccessibleDescription(
        QCoreApplication::translate("Chart",
                                    "Колесо мыши меняет показанное время вокруг указателя, перетаскивание "
                                    "листает назад; под графиком значение под указателем."));
    refresh_.setSingleShot(true);
    connect(&refresh_, &QTimer::timeout, this, [this] { update(); });
}

double TChartPlot::NewestMs() const {
    const TChartRing& ring = ChartRecording();
    return ring.Size() == 0 ? 0 : static_cast<double>(ring[ring.Size() - 1].TimeMs);
}

// While following, the end is the newest sample's column's end: the columns
// keep their place in time as the chart moves, so a column's min and max do
// not flicker from one paint to the next.
double TChartPlot::ShownEnd() const {
    if (!range_.Following) return range_.EndMs;
    return FollowingEnd(NewestMs(), range_.DurationMs, range_.DurationMs / Columns(width()));
}

TChartPlot::TFrame TChartPlot::Frame() const {
    const int columns = Columns(width());
    const int bandTop = height() - AxisHeight - 4 * LaneHeight;
    const QRect channels(LeftMargin, TopMargin, columns, std::max(1, bandTop - BandGap - TopMargin));
    const QRect inputs(LeftMargin, bandTop, columns, 4 * LaneHeight);
    return {channels, inputs, ShownEnd() - range_.DurationMs, range_.DurationMs / columns};
}

void TChartPlot::SetDuration(double ms) {
    // Paused, the end stays and the start moves.
    range_.DurationMs = ms;
    update();
}

void TChartPlot::SetFollowing(bool following) {
    if (following == range_.Following) return;
    // Held, the span ends just after the newest sample: what comes later
    // stays out of it.
    range_.EndMs = std::min(ShownEnd(), NewestMs() + 1);
    range_.Following = following;
    update();
}

std::pair<std::size_t, std::size_t> TChartPlot::ShownSamples() const {
    const TChartRing& ring = ChartRecording();
    const double end = ShownEnd();
    return {ring.LowerBound(end - range_.DurationMs), ring.LowerBound(end)};
}

void TChartPlot::SampleRecorded() {
    if (!range_.Following || !isVisible() || refresh_.isActive()) return;
    const int columnMs = static_cast<int>(range_.DurationMs / Columns(width()));
    refresh_.start(std::clamp(columnMs, FastestRefreshMs, SlowestRefreshMs));
}

QString TChartPlot::ValueAt(int x) const {
    const TFrame frame = Frame();
    const TChartRing& ring = ChartRecording();
    const double time = frame.Time(x);
    const double end = frame.StartMs + range_.DurationMs;
    if (time < frame.StartMs || time >= end) return {};
    // The sample under the pointer: within its column, or across a gap short
    // enough to be drawn joined; none beyond the ends of the lines.
    const std::optional<std::size_t> at = SampleNear(ring, time, std::max(frame.MsPerColumn, HoldMs / 2));
    if (!at) return {};
    const TChartSample& s = ring[*at];
    const auto t = static_cast<double>(s.TimeMs);
    if (t < frame.StartMs || t >= end) return {};
    return QCoreApplication::translate("Chart", "%1 с · канал 1: %2 % · канал 2: %3 % · входы 1–4: %4")
        .arg(Seconds(t, 3))
        .arg(protocol::ChannelPercent(s.Channel1))
        .arg(protocol::ChannelPercent(s.Channel2))
        .arg(QString::fromStdString(InputBits(s.Inputs)));
}

void TChartPlot::paintEvent(QPaintEvent*) {
    const TFrame frame = Frame();
    columns_.resize(static_cast<std::size_t>(frame.Channels.width()));
    ReduceColumns(ChartRecording(), frame.StartMs, frame.MsPerColumn, columns_);

    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    PaintAxes(painter, frame);
    PaintChannels(painter, frame);
    PaintInputs(painter, frame);
    PaintKeys(painter, frame);
    PaintLegend(painter, frame);
}

void TChartPlot::PaintAxes(QPainter& painter, const TFrame& frame) {
    const QFontMetrics metrics = painter.fontMetrics();
    for (int percent = 0; percent <= 100; percent += 25) {
        const int y = frame.Y(percent);
        painter.setPen(GridColour);
        painter.drawLine(frame.Channels.left(), y, frame.Channels.right(), y);
        painter.setPen(Qt::black);
        const QRect label(0, y - metrics.height() / 2, LeftMargin - 4, metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1 %").arg(percent));
    }
    for (int input = 0; input < 4; ++input) {
        const QRect label(0, frame.Inputs.top() + input * LaneHeight, LeftMargin - 4, LaneHeight);
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(input + 1));
    }

    const std::int64_t step = TimeTickStep(frame.MsPerColumn, TickSpacing);
    const double end = frame.StartMs + range_.DurationMs;
    const auto first = static_cast<std::int64_t>(std::ceil(frame.StartMs / static_cast<double>(step))) * step;
    for (std::int64_t t = first; static_cast<double>(t) < end; t += step) {
        const int x = frame.X(static_cast<int>((static_cast<double>(t) - frame.StartMs) / frame.MsPerColumn));
        painter.setPen(GridColour);
        painter.drawLine(x, frame.Channels.top(), x, frame.Inputs.bottom());
        painter.setPen(Qt::black);
        const QRect label(x - TickSpacing / 2, frame.Inputs.bottom() + 2, TickSpacing, AxisHeight - 2);
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, Seconds(static_cast<double>(t), TickDecimals(step)));
    }
    // The unit at the axis's far left, where no tick's number reaches: half
    // of one spans a few digits, the margin is wider.
    const QRect unit(2, frame.Inputs.bottom() + 2, LeftMargin / 2, AxisHeight - 2);
    painter.drawText(unit, Qt::AlignLeft | Qt::AlignTop, QCoreApplication::translate("Chart", "с"));
    painter.drawRect(frame.Channels.adjusted(0, 0, -1, -1));
}

void TChartPlot::PaintChannels(QPainter& painter, const TFrame& frame) {
    struct TChannel {
        int TChartColumn::*Min;
        int TChartColumn::*Max;
        int TChartColumn::*Last;
        QColor Colour;
        int Width;
    };
    // Channel 1 broader too, for a print in grey.
    for (const TChannel& channel :
         {TChannel{&TChartColumn::Min1, &TChartColumn::Max1, &TChartColumn::Last1, Channel1Colour, 2},
          TChannel{&TChartColumn::Min2, &TChartColumn::Max2, &TChartColumn::Last2, Channel2Colour, 1}}) {
        std::vector<QLine> lines;
        lines.reserve(2 * columns_.size());
        int previous = -1;
        int previousY = 0;
        for (int x = 0; x < static_cast<int>(columns_.size()); ++x) {
            const TChartColumn& column = columns_[static_cast<std::size_t>(x)];
            if (column.Count == 0) continue;
            const int y = frame.Y(column.*channel.Last);
            const bool joined = previous >= 0 && (x - previous == 1 || (x - previous) * frame.MsPerColumn <= HoldMs);
            if (joined) lines.emplace_back(frame.X(previous), previousY, frame.X(x), y);
            if (column.*channel.Max > column.*channel.Min) {
                lines.emplace_back(frame.X(x), frame.Y(column.*channel.Max), frame.X(x), frame.Y(column.*channel.Min));
            } else if (!joined) {
                lines.emplace_back(frame.X(x), y, frame.X(x) + 1, y);
            }
            previous = x;
            previousY = y;
        }
        // A broad line as thin ones side by side: a pen broader than one
        // pixel goes through the stroker, at several times the cost.
        painter.setPen(QPen(channel.Colour, 1));
        for (int offset = 0; offset < channel.Width; ++offset) {
            painter.translate(offset == 0 ? 0 : 1, 0);
            painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        }
        painter.resetTransform();
    }
}

void TChartPlot::PaintInputs(QPainter& painter, const TFrame& frame) {
    std::vector<QLine> lines;
    lines.reserve(columns_.size() * 8);  // four inputs, a step and a riser a column
    for (int input = 0; input < 4; ++input) {
        const int high = frame.LaneY(input, true);
        const int low = frame.LaneY(input, false);
        const auto bit = static_cast<std::uint8_t>(1u << input);
        int previous = -1;
        int previousY = low;
        for (int x = 0; x < static_cast<int>(columns_.size()); ++x) {
            const TChartColumn& column = columns_[static_cast<std::size_t>(x)];
            if (column.Count == 0) continue;
            const bool joined = previous >= 0 && (x - previous == 1 || (x - previous) * frame.MsPerColumn <= HoldMs);
            // A step: the last level held up to this column, then a riser
            // where the input changed within it or since.
            if (joined) lines.emplace_back(frame.X(previous), previousY, frame.X(x), previousY);
            const bool changed = (column.InputsAny & bit) != (column.InputsAll & bit);
            const int y = (column.InputsLast & bit) ? high : low;
            if (changed || (joined && y != previousY)) {
                lines.emplace_back(frame.X(x), high, frame.X(x), low);
            } else if (!joined) {
                lines.emplace_back(frame.X(x), y, frame.X(x) + 1, y);
            }
            previous = x;
            previousY = y;
        }
    }
    painter.setPen(QPen(InputsColour, 1));
    painter.drawLines(lines.data(), static_cast<int>(lines.size()));
}

void TChartPlot::PaintKeys(QPainter& painter, const TFrame& frame) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(KeyColour);
    for (int x = 0; x < static_cast<int>(columns_.size()); ++x) {
        if (columns_[static_cast<std::size_t>(x)].Key < 0) continue;
        const int at = frame.X(x);
        const QPoint mark[] = {
            {at - 4, frame.Channels.top() + 1}, {at + 4, frame.Channels.top() + 1}, {at, frame.Channels.top() + 9}};
        painter.drawPolygon(mark, 3);
        painter.fillRect(at, frame.Channels.top() + 9, 1, frame.Channels.height() - 9, KeyColour);
    }
    painter.setBrush(Qt::NoBrush);
}

void TChartPlot::PaintLegend(QPainter& painter, const TFrame& frame) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int y = frame.Channels.top() - TopMargin / 2;
    int x = frame.Channels.left();
    const auto entry = [&](const QColor& colour, int width, const QString& text) {
        painter.setPen(QPen(colour, width));
        painter.drawLine(x, y, x + 16, y);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x + 20, y + metrics.ascent() / 2 - 1), text);
        x += 20 + metrics.horizontalAdvance(text) + 16;
    };
    entry(Channel1Colour, 2, QCoreApplication::translate("Chart", "Канал 1"));
    entry(Channel2Colour, 1, QCoreApplication::translate("Chart", "Канал 2"));
    entry(InputsColour, 1, QCoreApplication::translate("Chart", "Входы 1–4"));
    entry(KeyColour, 5, QCoreApplication::translate("Chart", "Ключ"));
}

void TChartPlot::ChangeRange(const TChartRange& range) {
    range_ = range;
    update();
    if (OnRangeChanged) OnRangeChanged();
}

void TChartPlot::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const TFrame frame = Frame();
    const double pointer = frame.Time(event->position().x());
    TChartRange from = range_;
    from.EndMs = ShownEnd();
    // Up (away from the user) zooms in: less time, more detail.
    ChangeRange(ZoomChart(from, pointer, std::pow(ZoomPerNotch, -delta / 120.0), NewestMs()));
    event->accept();
}

void TChartPlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragFrom_ = static_cast<int>(event->position().x());
    dragRange_ = range_;
    dragRange_.EndMs = ShownEnd();
    setCursor(Qt::ClosedHandCursor);
}

void TChartPlot::mouseMoveEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (dragFrom_ && (event->buttons() & Qt::LeftButton)) {
        const TChartRing& ring = ChartRecording();
        const double oldest = ring.Size() == 0 ? 0 : static_cast<double>(ring[0].TimeMs);
        // Pulled to the right, the picture shows what came before.
        const double ms = (x - *dragFrom_) * Frame().MsPerColumn;
        ChangeRange(ScrollChart(dragRange_, ms, oldest, NewestMs()));
    }
    if (OnPointerValue) OnPointerValue(ValueAt(x));
}

void TChartPlot::mouseReleaseEvent(QMouseEvent*) {
    dragFrom_.reset();
    setCursor(Qt::CrossCursor);
}

void TChartPlot::leaveEvent(QEvent*) {
    if (OnPointerValue) OnPointerValue(QString());
}

// A key mark's tool tip: the identifier of the key presented there.
bool TChartPlot::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const TFrame frame = Frame();
    const double from = frame.Time(help->pos().x() - KeyMarkReach - 0.5);
    const double to = frame.Time(help->pos().x() + KeyMarkReach + 0.5);
    const TChartRing& ring = ChartRecording();
    for (std::size_t i = ring.LowerBound(std::max(from, frame.StartMs)); i < ring.Size(); ++i) {
        if (static_cast<double>(ring[i].TimeMs) >= to) break;
        if (ring[i].KeyStart) {
            QToolTip::showText(help->globalPos(), QString::fromLatin1(ring.KeyId(i).data(), 16), this);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

TChartWindow::TChartWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), SaveDialog(desktop::TFileDialogKind::Save, SaveOptions) {
    setWindowTitle(QCoreApplication::translate("Chart", "Каналы"));
    // The main window alone decides when the run ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);

    auto* spanLabel = new QLabel(QCoreApplication::translate("Chart", "&Интервал:"), this);
    Span = new QComboBox(this);
    Span->addItems({QCoreApplication::translate("Chart", "10 с"), QCoreApplication::translate("Chart", "1 мин"),
                    QCoreApplication::translate("Chart", "10 мин")});
    Span->setCurrentIndex(1);
    Span->setToolTip(QCoreApplication::translate("Chart", "Сколько времени показывает график"));
    spanLabel->setBuddy(Span);
    PauseButton = new QPushButton(this);
    PauseButton->setCheckable(true);
    SaveButton = new QPushButton(QCoreApplication::translate("Chart", "Сохранить…"), this);
    SaveButton->setToolTip(
        QCoreApplication::translate("Chart", "Сохранить показанный интервал как таблицу CSV или рисунок PNG"));
    Plot = new TChartPlot(this);
    Plot->SetDuration(static_cast<double>(ChartSpansMs[1]));
    PointerValue = new QLabel(this);
    PointerValue->setAccessibleName(QCoreApplication::translate("Chart", "Значение под указателем"));
    PointerValue->setMinimumHeight(PointerValue->fontMetrics().height());

    auto* controls = new QHBoxLayout;
    controls->addWidget(spanLabel);
    controls->addWidget(Span);
    controls->addWidget(PauseButton);
    controls->addWidget(SaveButton);
    controls->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(Plot, 1);
    layout->addWidget(PointerValue);
    resize(800, 460);

    connect(Span, &QComboBox::currentIndexChanged, this, [this] { SpanChange(); });
    connect(PauseButton, &QPushButton::clicked, this, [this] { PauseClick(); });
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveClick(); });
    Plot->OnRangeChanged = [this] { ShowPaused(!Plot->Range().Following); };
    Plot->OnPointerValue = [this](const QString& text) { PointerValue->setText(text); };
    ShowPaused(false);

    SaveDialog.Title = QCoreApplication::translate("Chart", "Сохранить график");
    SaveDialog.Filter = QCoreApplication::translate("Chart", "Таблица CSV|*.csv|Рисунок PNG|*.png");
    ChartWindow = this;
    ChartListener = this;
}

TChartWindow::~TChartWindow() {
    if (ChartWindow == this) ChartWindow = nullptr;
    if (ChartListener == this) ChartListener = nullptr;
}

void ShowChartWindow() {
    desktop::ShowInFront(ChartWindow);
}

QString ChartMenuText() {
    return QCoreApplication::translate("Chart", "Каналы");
}

void TChartWindow::SampleRecorded() {
    Plot->SampleRecorded();
}

void TChartWindow::SpanChange() {
    const int at = std::clamp(Span->currentIndex(), 0, static_cast<int>(ChartSpansMs.size()) - 1);
    Plot->SetDuration(static_cast<double>(ChartSpansMs[static_cast<std::size_t>(at)]));
}

void TChartWindow::PauseClick() {
    Plot->SetFollowing(!PauseButton->isChecked());
    ShowPaused(PauseButton->isChecked());
}

void TChartWindow::ShowPaused(bool paused) {
    PauseButton->setChecked(paused);
    PauseButton->setText(paused ? QCoreApplication::translate("Chart", "Дальше")
                                : QCoreApplication::translate("Chart", "Пауза"));
    PauseButton->setToolTip(paused ? QCoreApplication::translate("Chart", "Снова показывать новые значения")
                                   : QCoreApplication::translate("Chart", "Остановить картину; запись продолжается"));
}

void TChartWindow::SaveClick() {
    if (!SaveDialog.Execute()) return;
    const auto [name, picture] = SaveTarget(SaveDialog.FileName, SaveDialog.FilterIndex);
    QByteArray bytes;
    if (picture) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        Plot->grab().save(&buffer, "PNG");
    } else {
        const auto [first, last] = Plot->ShownSamples();
        const std::string csv = ChartCsv(ChartRecording(), first, last);
        bytes = QByteArray(csv.data(), static_cast<qsizetype>(csv.size()));
    }
    if (keybase::WriteFilesWhole({{name, bytes}})) {
        desktop::Seams().MessageBox(
            QCoreApplication::translate("Chart", "Не удалось сохранить файл %1.").arg(QDir::toNativeSeparators(name)),
            QString::fromLatin1(desktop::AppTitle), desktop::TMsgIcon::Error, desktop::TMsgButtons::Ok);
    }
}

}  // namespace lumidra::graphics
