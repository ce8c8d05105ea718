#include "numeric/fit_steps.hpp"

#include <cstddef>

namespace {
// Absolute forward-difference step and its reciprocal, applied to every coefficient alike.
constexpr double GRADIENT_STEP = 1e-6;
constexpr double GRADIENT_SCALE = 1000000.0;
} // namespace

void FitGradient(double x, double* a, int m, FitModel model, double* g) noexcept {
    for (int j = 0; j < m; ++j) {
        a[j] += GRADIENT_STEP;
        const double f1 = model(x, a, m);
        a[j] -= GRADIENT_STEP;
        const double f0 = model(x, a, m);
        g[j] = (f1 - f0) * GRADIENT_SCALE;
    }
}

double FitChiSquare(const double* x, const double* y, int n, FitModel model, const double* a,
                    int m) noexcept {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double r = y[i] - model(x[i], a, m);
        sum += r * r;
    }
    return sum;
}

void FitNormalEquations(const double* x, const double* y, int n, FitModel model, double* a, int m,
                        double* alpha, double* beta, double* chisq, double* g) noexcept {
    const auto order = static_cast<std::size_t>(m);
    for (std::size_t e = 0; e < order * order; ++e) {
        alpha[e] = 0.0;
    }
    for (std::size_t j = 0; j < order; ++j) {
        beta[j] = 0.0;
    }
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        // The residual is taken before the gradient moves the coefficients by a rounding.
        const double r = y[i] - model(x[i], a, m);
        FitGradient(x[i], a, m, model, g);
        for (std::size_t j = 0; j < order; ++j) {
            for (std::size_t k = 0; k <= j; ++k) {
                alpha[j * order + k] += g[j] * g[k];
            }
            beta[j] += g[j] * r;
        }
        sum += r * r;
    }
    for (std::size_t j = 0; j < order; ++j) {
        for (std::size_t k = j + 1; k < order; ++k) {
            alpha[j * order + k] = alpha[k * order + j];
        }
    }
    *chisq = sum;
}
