#include "paint_pacer.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

thread_local int PaintPacer::depth_ = 0;

PaintPacer::PaintPacer(QWidget* window) : QObject(window) {
    window->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::UpdateRequest || depth_ > 0)
        return false;
    if (!since_paint_.isValid() || since_paint_.elapsed() >= kMinimumPaintInterval) {
        held_ = false;
        since_paint_.start();
        return false; // drawn now
    }
    // Qt asks once and waits for the draw before it asks again, so a held request must
    // be delivered later, once.
    if (!held_) {
        held_ = true;
        const auto wait = static_cast<int>(kMinimumPaintInterval - since_paint_.elapsed());
        QTimer::singleShot(wait < 1 ? 1 : wait, this, [window = QPointer<QObject>(watched)] {
            if (window != nullptr)
                QCoreApplication::postEvent(window, new QEvent(QEvent::UpdateRequest),
                                            Qt::LowEventPriority);
        });
    }
    return true;
}
