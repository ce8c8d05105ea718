// Paces the drawing of a panel's window by the event loop.
//
// With the operator thread the window's event loop is free while an operation runs, and
// every value the program writes asks for the window to be drawn. On the virtual clock an
// operation writes its values far faster than a screen shows them, so the drawing would
// cost more than the operation. The pacer lets a window draw at most once per
// kMinimumPaintInterval of machine time: a request that comes sooner is held and
// delivered when the interval is over, so the last value written is always drawn.
// Qt draws a widget's repaint() through the same request, sent at once: the backend's own
// repaints (a value shown while the operation blocks the loop) run inside a DrawNow and
// pass.
#pragma once

#include <QElapsedTimer>
#include <QObject>

class PaintPacer : public QObject {
public:
    // Paces `window` (a top-level widget); owned by it.
    explicit PaintPacer(QWidget* window);

    static constexpr int kMinimumPaintInterval = 40; // ms: 25 frames a second

    // While one lives (on the window's thread), every request is drawn at once.
    class DrawNow {
    public:
        DrawNow() { ++depth_; }
        ~DrawNow() { --depth_; }
        DrawNow(const DrawNow&) = delete;
        DrawNow& operator=(const DrawNow&) = delete;
    };

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static thread_local int depth_; // DrawNow scopes open
    QElapsedTimer since_paint_;
    bool held_ = false; // a request is held for later
};
