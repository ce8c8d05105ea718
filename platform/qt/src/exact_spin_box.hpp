// The real-valued field of the Qt panels. A QDoubleSpinBox holds its value rounded to the
// decimals it shows and within its range; this field keeps the value the program wrote
// beside it, exactly, and gives it back until the operator edits the field (types into it
// or steps it). The field shows the program's value rounded to its decimals, beyond the
// range as well, and a value that is not finite as "NaN", "inf" or "-inf".
#pragma once

#include <QDoubleSpinBox>

#include <optional>

class ExactSpinBox : public QDoubleSpinBox {
public:
    explicit ExactSpinBox(QWidget* parent = nullptr);

    // The program's write: held exactly and shown.
    void hold(double value);
    // The program's value while it is held, else the value the operator entered.
    double exact_value() const { return held_ ? *held_ : value(); }
    bool holds_program_value() const { return held_.has_value(); }

    void stepBy(int steps) override;

protected:
    QString textFromValue(double value) const override;

private:
    std::optional<double> held_;
    bool holding_ = false; // inside hold(): the value changes for the program
};
