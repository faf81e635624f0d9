#include "desktop/Widgets.h"

#include <QBackingStore>
#include <QCache>
#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QImage>
#include <QPaintEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QStyle>
#include <QScreen>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

#include <algorithm>

namespace lumidra::desktop {

namespace {

// The size an auto-size label takes for a text in a font. The channel labels
// take a new text with almost every status report, and laying the text out
// again each time would cost more than the rest of the report; they cycle
// through a few hundred texts at most.
QSize FittedSize(QLabel& label) {
    static QHash<QString, QSize> sizes;
    const QString key = label.font().key() + QLatin1Char('\n') + label.text();
    if (const auto it = sizes.constFind(key); it != sizes.constEnd()) return *it;
    label.adjustSize();
    if (sizes.size() >= 4096) sizes.clear();
    sizes.insert(key, label.size());
    return label.size();
}

// Keeps the backdrop fills of FillWithBackdrop current. A child's palette
// stays as it is (a style may draw with its background colour: a progress
// bar's outline): the fill goes in before the child's own paint.
class TBackdropFill final : public QObject {
public:
    TBackdropFill(QWidget& parent, const QList<QWidget*>& children) : QObject(&parent), parent_(parent) {
        parent.installEventFilter(this);
        for (QWidget* child : children) {
            children_.push_back({child, std::nullopt});
            child->installEventFilter(this);
        }
        Schedule();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Paint:
                if (watched != &parent_) PaintUnder(static_cast<QWidget&>(*watched), *static_cast<QPaintEvent*>(event));
                break;
            case QEvent::Show:
            case QEvent::Resize:
            case QEvent::Move:
            case QEvent::StyleChange: Schedule(); break;
            case QEvent::PaletteChange:
                if (watched == &parent_) Schedule();
                break;
            default: break;
        }
        return false;
    }

private:
    struct TChild {
        QWidget* Widget;
        std::optional<QRgb> Colour;  // none: over more than one colour
    };

    // Once the events of a layout or a show are over: the fill's own
    // rendering delivers the parent's pending ones.
    void Schedule() {
        if (scheduled_ || filling_) return;
        scheduled_ = true;
        QMetaObject::invokeMethod(
            this, [this] { Fill(); }, Qt::QueuedConnection);
    }

    void Fill() {
        scheduled_ = false;
        // What shows under the children: the parent's own paint over the
        // background its window paints in its palette.
        QImage under(parent_.size(), QImage::Format_ARGB32_Premultiplied);
        if (under.isNull()) return;
        under.fill(parent_.palette().color(parent_.backgroundRole()));
        filling_ = true;
        parent_.render(&under, QPoint(), QRegion(), QWidget::RenderFlags());
        filling_ = false;
        for (TChild& child : children_) {
            child.Colour = OneColour(under, child.Widget->geometry());
            child.Widget->setAttribute(Qt::WA_OpaquePaintEvent, child.Colour.has_value());
        }
    }

    void PaintUnder(QWidget& widget, const QPaintEvent& event) const {
        for (const TChild& child : children_) {
            if (child.Widget != &widget || !child.Colour) continue;
            QPainter painter(&widget);
            painter.fillRect(event.rect(), QColor::fromRgba(*child.Colour));
        }
    }

    static std::optional<QRgb> OneColour(const QImage& image, const QRect& area) {
        if ((area & image.rect()) != area || area.isEmpty()) return std::nullopt;
        const QRgb first = image.pixel(area.topLeft());
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = area.left(); x <= area.right(); ++x) {
                if (line[x] != first) return std::nullopt;
            }
        }
        return first;
    }

    QWidget& parent_;
    std::vector<TChild> children_;
    bool scheduled_ = false;
    bool filling_ = false;
};

// Whether a bar of `style` looks the same each time it paints one state.
// Fusion's does; the Windows styles move a glow along the bar, which a copy
// would freeze, and their native drawing into a pixmap is not what the
// screen shows.
bool StillBarLooks(const QStyle* style) {
    return style != nullptr && style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
}

// Keeps the looks of KeepLooks. A look is what changes with the board's
// reports (a bar's value, a caption's text, the background role an input
// switches); everything else the paint follows is the setting, and a new
// setting drops every look kept.
class TLooks final : public QObject {
public:
    explicit TLooks(QWidget& widget)
        : QObject(&widget),
          widget_(widget),
          bar_(qobject_cast<QProgressBar*>(&widget)),
          label_(qobject_cast<QLabel*>(&widget)),
          looks_(64) {
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint || painting_ || !Copied()) return false;
        if (TSetting setting = Setting(); !(setting == setting_)) {
            looks_.clear();
            setting_ = std::move(setting);
        }
        const auto& paint = static_cast<const QPaintEvent&>(*event);
        const QRect area = paint.rect();
        const TLook look = Look();
        if (const QPixmap* copy = looks_.object(look)) {
            QPainter(&widget_).drawPixmap(area, *copy, area);
            return true;
        }
        // The widget paints as usual (the filters before this one, the
        // backdrop's fill, included), and what it painted into the window's
        // backing store is copied from there: the copy is what the screen
        // shows, and costs no second paint. A paint into another device (a
        // render of the window) is not copied.
        const bool toStore = PaintsToStore();
        painting_ = true;
        QCoreApplication::sendEvent(&widget_, event);
        painting_ = false;
        if (toStore && QRegion(widget_.rect()).subtracted(paint.region()).isEmpty()) {
            if (QPixmap painted = Painted(); !painted.isNull()) looks_.insert(look, new QPixmap(std::move(painted)));
        }
        return true;
    }

private:
    struct TLook {
        QString Text;
        int Value = 0;
        int Role = 0;
        bool operator==(const TLook&) const = default;
        friend size_t qHash(const TLook& look, size_t seed = 0) {
            return qHashMulti(seed, look.Text, look.Value, look.Role);
        }
    };
    struct TSetting {
        std::vector<qint64> Numbers;
        QFont Font;
        QString Format;
        QLocale Locale;
        const QStyle* Style = nullptr;
        bool operator==(const TSetting&) const = default;
    };

    // Whether the widget's paint can be copied exactly: one that paints
    // every pixel itself (FillWithBackdrop made it opaque, or it fills its
    // own opaque background), a caption that shows a text, and a bar only
    // under a still style.
    bool Copied() const {
        const bool opaque =
            widget_.testAttribute(Qt::WA_OpaquePaintEvent) ||
            (widget_.autoFillBackground() && widget_.palette().brush(widget_.backgroundRole()).isOpaque());
        if (!opaque || widget_.devicePixelRatioF() != 1.0) return false;
        if (label_ != nullptr) return label_->pixmap().isNull() && label_->movie() == nullptr;
        return bar_ != nullptr && StillBarLooks(bar_->style()) && bar_->minimum() != bar_->maximum();
    }

    TLook Look() const {
        return {label_ != nullptr ? label_->text() : QString(), bar_ != nullptr ? bar_->value() : 0,
                static_cast<int>(widget_.backgroundRole()) | static_cast<int>(widget_.foregroundRole()) << 8};
    }

    TSetting Setting() const {
        const QWidget* parent = widget_.parentWidget();
        TSetting setting{
            {widget_.x(), widget_.y(), widget_.width(), widget_.height(), widget_.palette().cacheKey(),
             widget_.autoFillBackground(), widget_.isEnabled(), widget_.isActiveWindow(), widget_.hasFocus(),
             widget_.testAttribute(Qt::WA_UnderMouse), static_cast<int>(widget_.layoutDirection()),
             parent == nullptr ? 0 : parent->palette().cacheKey(), parent == nullptr ? 0 : parent->width(),
             parent == nullptr ? 0 : parent->height()},
            widget_.font(),
            {},
            widget_.locale(),
            widget_.style()};
        if (bar_ != nullptr) {
            setting.Numbers.insert(setting.Numbers.end(),
                                   {bar_->minimum(), bar_->maximum(), static_cast<int>(bar_->alignment()),
                                    static_cast<int>(bar_->orientation()), bar_->invertedAppearance(),
                                    static_cast<int>(bar_->textDirection()), bar_->isTextVisible()});
            setting.Format = bar_->format();
        }
        if (label_ != nullptr) {
            const QMargins margins = label_->contentsMargins();
            setting.Numbers.insert(
                setting.Numbers.end(),
                {static_cast<int>(label_->alignment()), label_->indent(), label_->margin(), label_->wordWrap(),
                 static_cast<int>(label_->textFormat()), static_cast<int>(label_->textInteractionFlags()),
                 label_->frameStyle(), label_->lineWidth(), label_->midLineWidth(), margins.left(), margins.top(),
                 margins.right(), margins.bottom()});
        }
        return setting;
    }

    // Whether the paint under way goes into the window's backing store.
    bool PaintsToStore() const {
        QBackingStore* store = widget_.backingStore();
        if (store == nullptr) return false;
        QPainter probe(&widget_);
        return probe.paintEngine() != nullptr && probe.paintEngine()->paintDevice() == store->paintDevice();
    }

    // What the widget painted, from its window's backing store when that is
    // an image (every raster platform's is); a null pixmap elsewhere.
    QPixmap Painted() const {
        QBackingStore* store = widget_.backingStore();
        const QPaintDevice* device = store == nullptr ? nullptr : store->paintDevice();
        if (device == nullptr || device->devType() != QInternal::Image) return {};
        const auto& image = static_cast<const QImage&>(*device);
        const QRect place(widget_.mapTo(widget_.window(), QPoint()), widget_.size());
        if (image.devicePixelRatio() != 1.0 || !image.rect().contains(place)) return {};
        return QPixmap::fromImage(image.copy(place));
    }

    QWidget& widget_;
    QProgressBar* const bar_;
    QLabel* const label_;
    TSetting setting_;
    QCache<TLook, QPixmap> looks_;
    bool painting_ = false;
};

}  // namespace

void KeepLooks(QWidget& widget) {
    new TLooks(widget);
}

void FillWithBackdrop(QWidget& parent, const QList<QWidget*>& children) {
    new TBackdropFill(parent, children);
}

void SetCaption(QLabel& label, const QString& text) {
    // An unchanged caption needs neither a new text nor a new size; the input
    // handler sets most captions to what they already show.
    if (label.text() == text) return;
    label.setText(text);
    if (label.property(AutoSizeProperty).toBool()) label.resize(FittedSize(label));
}

void FixCaptionSize(QLabel& label, const QStringList& texts) {
    const QString shown = label.text();
    QSize size = label.size();
    for (const QString& text : texts) {
        label.setText(text);
        size = size.expandedTo(label.sizeHint());
    }
    label.setText(shown);
    label.setFixedSize(size);
    label.setProperty(AutoSizeProperty, false);
}

void SetBackground(QWidget& widget, const QColor& color) {
    if (widget.autoFillBackground() && widget.palette().color(QPalette::Window) == color) return;
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, color);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void SetTwoBackgrounds(QWidget& widget, const QColor& first, const QColor& second) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, first);
    palette.setColor(QPalette::Base, second);
    widget.setPalette(palette);
    widget.setBackgroundRole(QPalette::Window);
    widget.setAutoFillBackground(true);
}

void ShowSecondBackground(QWidget& widget, bool second) {
    const QPalette::ColorRole role = second ? QPalette::Base : QPalette::Window;
    if (widget.backgroundRole() != role) widget.setBackgroundRole(role);
}

QColor Background(const QWidget& widget) {
    return widget.palette().color(widget.backgroundRole());
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    // A window's position is that of its frame.
    window.move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void ShowInFront(QWidget* window) {
    if (window == nullptr) return;
    window->show();
    window->raise();
    window->activateWindow();
}

QPoint BesidePosition(const QRect& area, const QRect& anchor, const QSize& size, int offset) {
    const auto within = [](int at, int low, int high) { return std::max(low, std::min(at, high)); };
    const int lowestTop = area.bottom() + 1 - size.height();
    if (area.right() - anchor.right() >= size.width()) {
        return {anchor.right() + 1, within(anchor.top(), area.top(), lowestTop)};
    }
    if (anchor.left() - area.left() >= size.width()) {
        return {anchor.left() - size.width(), within(anchor.top(), area.top(), lowestTop)};
    }
    return {within(anchor.left() - offset, area.left(), area.right() + 1 - size.width()),
            within(anchor.top() - offset, area.top(), lowestTop)};
}

void ShowBeside(QWidget& window, QWidget& anchor) {
    const QScreen* screen = anchor.screen();
    if (screen != nullptr) {
        // The window has no frame before it is shown: it gets one like the anchor's.
        const QRect frame = anchor.frameGeometry();
        const QSize frameExtra = frame.size() - anchor.size();
        const int titleHeight = anchor.geometry().top() - frame.top();
        constexpr int LeastOffset = 32;  // a title bar, where the platform gives no frame
        window.move(BesidePosition(screen->availableGeometry(), frame, window.size() + frameExtra,
                                   std::max(titleHeight, LeastOffset)));
    }
    window.show();
    ShowInFront(&anchor);
}

}  // namespace lumidra::desktop
