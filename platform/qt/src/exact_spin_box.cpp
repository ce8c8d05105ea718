#include "exact_spin_box.hpp"

#include "platform/panels.hpp"

#include <QLineEdit>

#include <cmath>

ExactSpinBox::ExactSpinBox(QWidget* parent) : QDoubleSpinBox(parent) {
    // textEdited comes from the operator's typing only, never from the program's writes.
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { held_.reset(); });
    // Any other change of the value that is not the program's own write (an assistive
    // technology setting the value, say) is the operator's too.
    connect(this, &QDoubleSpinBox::valueChanged, this, [this] {
        if (!holding_)
            held_.reset();
    });
}

void ExactSpinBox::hold(double value) {
    held_ = value;
    // The spin box keeps its own (rounded, bounded) copy for the operator's edits; a value
    // that is not finite leaves that copy as it was. setValue redraws the text either way,
    // and the text comes from the held value.
    holding_ = true;
    setValue(std::isfinite(value) ? value : this->value());
    holding_ = false;
}

void ExactSpinBox::stepBy(int steps) {
    held_.reset();
    QDoubleSpinBox::stepBy(steps);
}

QString ExactSpinBox::textFromValue(double value) const {
    // Asked for the current value: show the held one. (The spin box also asks for the text
    // of its limits, to size itself; those stay as they are.)
    if (held_ && value == this->value()) {
        if (!std::isfinite(*held_))
            return QString::fromStdString(numeric_field_text(*held_, decimals()));
        return QDoubleSpinBox::textFromValue(*held_);
    }
    return QDoubleSpinBox::textFromValue(value);
}
