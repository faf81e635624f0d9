// Lets the text cursor rest after a while without input.
#pragma once

#include <QObject>
#include <QTimer>

namespace lumidra::desktop {

// A blinking text cursor wakes the program twice a second for as long as an
// edit has the focus, also while nobody sits at the machine. As the common
// desktops do, the cursor stops blinking (and stays shown) once the program
// has had no key or mouse input for RestMs, and blinks again at the next.
// Installed on the application by the main window; the platform's blink rate
// is restored when it goes.
class TCursorBlinkRest : public QObject {
public:
    static constexpr int RestMs = 10000;

    explicit TCursorBlinkRest(QObject* parent, int restMs = RestMs);
    ~TCursorBlinkRest() override;

    bool Resting() const { return resting_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetFlashTime(int ms);

    QTimer rest_;
    int flashTime_;
    bool resting_ = false;
};

}  // namespace lumidra::desktop
