// Reading and writing a control's value by its kind. Writes come from the program and
// never count as the operator's commit.
#include "exact_spin_box.hpp"
#include "paint_pacer.hpp"
#include "panel_model.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>
#include <limits>

namespace {

// A number for a real control: integers as they are, reals as they are, not finite
// included. Text is a type mismatch.
bool as_double(const CtrlValue& value, double& out) {
    if (const auto* i = std::get_if<long long>(&value)) {
        out = static_cast<double>(*i);
        return true;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        out = *d;
        return true;
    }
    return false;
}

// An integer for an integer control: a real is rounded, as the run-time converts it. A
// real without an integer (not finite, too large) is refused.
int as_integer(const CtrlValue& value, long long& out) {
    if (const auto* i = std::get_if<long long>(&value)) {
        out = *i;
        return 0;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        if (!std::isfinite(*d) || std::fabs(*d) >= 9e18)
            return UIEValueNotRepresentable;
        out = std::llround(*d);
        return 0;
    }
    return UIEValueTypeMismatch;
}

int clamp_to_int(long long value) {
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

} // namespace

CtrlValue read_control(const Control& control) {
    QWidget* widget = control.widget;
    if (widget == nullptr)
        return 0LL;
    switch (control.kind) {
    case CtrlKind::numeric_double:
        if (const auto* exact = dynamic_cast<const ExactSpinBox*>(widget))
            return exact->exact_value();
        return static_cast<QDoubleSpinBox*>(widget)->value();
    case CtrlKind::numeric_int:
    case CtrlKind::numeric_u16:
        return static_cast<long long>(static_cast<QSpinBox*>(widget)->value());
    case CtrlKind::string:
        return static_cast<QLineEdit*>(widget)->text().toStdString();
    case CtrlKind::ring:
        return static_cast<long long>(static_cast<QComboBox*>(widget)->currentIndex());
    case CtrlKind::switch_:
        return static_cast<long long>(static_cast<QCheckBox*>(widget)->isChecked() ? 1 : 0);
    case CtrlKind::led:
        return static_cast<long long>(static_cast<QRadioButton*>(widget)->isChecked() ? 1 : 0);
    case CtrlKind::command:
    case CtrlKind::graph:
        break;
    }
    return 0LL;
}

bool same_value(const CtrlValue& a, const CtrlValue& b) {
    const auto* x = std::get_if<double>(&a);
    const auto* y = std::get_if<double>(&b);
    if (x != nullptr && y != nullptr && std::isnan(*x) && std::isnan(*y))
        return true;
    return a == b;
}

int write_control(Control& control, const CtrlValue& value, bool draw_now) {
    QWidget* widget = control.widget;
    if (widget == nullptr)
        return UIECtrlNotFound;
    const QSignalBlocker quiet(widget);
    const CtrlValue shown = read_control(control);
    double real = 0.0;
    long long integer = 0;
    switch (control.kind) {
    case CtrlKind::numeric_double:
        if (!as_double(value, real))
            return UIEValueTypeMismatch;
        if (auto* exact = dynamic_cast<ExactSpinBox*>(widget)) {
            exact->hold(real);
        } else {
            // A plain spin box (not built by the panel loader) holds what it can show.
            if (!std::isfinite(real))
                return UIEValueNotRepresentable;
            static_cast<QDoubleSpinBox*>(widget)->setValue(real);
        }
        break;
    case CtrlKind::numeric_int:
    case CtrlKind::numeric_u16:
        if (const int status = as_integer(value, integer); status < 0)
            return status;
        static_cast<QSpinBox*>(widget)->setValue(clamp_to_int(integer));
        break;
    case CtrlKind::string:
        if (const auto* text = std::get_if<std::string>(&value))
            static_cast<QLineEdit*>(widget)->setText(QString::fromStdString(*text));
        else
            return UIEValueTypeMismatch;
        break;
    case CtrlKind::ring: {
        if (const int status = as_integer(value, integer); status < 0)
            return status;
        auto* ring = static_cast<QComboBox*>(widget);
        if (integer < 0 || integer >= ring->count())
            return UIEAttributeNotValid; // no item holds this value
        ring->setCurrentIndex(static_cast<int>(integer));
        break;
    }
    case CtrlKind::switch_:
        if (const int status = as_integer(value, integer); status < 0)
            return status;
        static_cast<QCheckBox*>(widget)->setChecked(integer != 0);
        break;
    case CtrlKind::led:
        if (const int status = as_integer(value, integer); status < 0)
            return status;
        static_cast<QRadioButton*>(widget)->setChecked(integer != 0);
        break;
    case CtrlKind::command:
    case CtrlKind::graph:
        return UIEAttributeNotValid; // these controls hold no value
    }
    control.committed = read_control(control);
    // Without an operator thread the operation keeps the event loop from running, so the
    // value is drawn at once; otherwise the widget's own update request has the loop draw
    // it, once for all the writes since its last pass. The program writes every
    // coordinate after each step whether it changed or not; a value that stays as it was
    // needs no drawing (a repaint costs far more than the write).
    if (draw_now && widget->isVisible() && !same_value(shown, control.committed)) {
        const PaintPacer::DrawNow at_once;
        widget->repaint();
    }
    return 0;
}
