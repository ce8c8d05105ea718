// Reading and writing a control's value by its kind. Writes come from the program and
// never count as the operator's commit.
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

// A number for a numeric control: integers as they are, reals as they are. Text is a
// type mismatch, as is a real that is not a number (it has no display).
bool as_double(const CtrlValue& value, double& out) {
    if (const auto* i = std::get_if<long long>(&value)) {
        out = static_cast<double>(*i);
        return true;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        out = *d;
        return std::isfinite(*d);
    }
    return false;
}

// An integer for an integer control: a real is rounded, as the run-time converts it.
bool as_integer(const CtrlValue& value, long long& out) {
    if (const auto* i = std::get_if<long long>(&value)) {
        out = *i;
        return true;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        if (!std::isfinite(*d) || std::fabs(*d) >= 9.2e18)
            return false;
        out = std::llround(*d);
        return true;
    }
    return false;
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

int write_control(Control& control, const CtrlValue& value) {
    QWidget* widget = control.widget;
    if (widget == nullptr)
        return UIECtrlNotFound;
    const QSignalBlocker quiet(widget);
    double real = 0.0;
    long long integer = 0;
    switch (control.kind) {
    case CtrlKind::numeric_double:
        if (!as_double(value, real))
            return UIEValueTypeMismatch;
        // Beyond the control's range the value is held at the nearest limit.
        static_cast<QDoubleSpinBox*>(widget)->setValue(real);
        break;
    case CtrlKind::numeric_int:
    case CtrlKind::numeric_u16:
        if (!as_integer(value, integer))
            return UIEValueTypeMismatch;
        static_cast<QSpinBox*>(widget)->setValue(clamp_to_int(integer));
        break;
    case CtrlKind::string:
        if (const auto* text = std::get_if<std::string>(&value))
            static_cast<QLineEdit*>(widget)->setText(QString::fromStdString(*text));
        else
            return UIEValueTypeMismatch;
        break;
    case CtrlKind::ring: {
        if (!as_integer(value, integer))
            return UIEValueTypeMismatch;
        auto* ring = static_cast<QComboBox*>(widget);
        if (integer < 0 || integer >= ring->count())
            return UIEAttributeNotValid; // no item holds this value
        ring->setCurrentIndex(static_cast<int>(integer));
        break;
    }
    case CtrlKind::switch_:
        if (!as_integer(value, integer))
            return UIEValueTypeMismatch;
        static_cast<QCheckBox*>(widget)->setChecked(integer != 0);
        break;
    case CtrlKind::led:
        if (!as_integer(value, integer))
            return UIEValueTypeMismatch;
        static_cast<QRadioButton*>(widget)->setChecked(integer != 0);
        break;
    case CtrlKind::command:
    case CtrlKind::graph:
        return UIEAttributeNotValid; // these controls hold no value
    }
    control.committed = read_control(control);
    // Shown at once, also while an operation keeps the event loop from running.
    if (widget->isVisible())
        widget->repaint();
    return 0;
}
