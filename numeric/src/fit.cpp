#include "numeric/fit.hpp"

#include "numeric/array_ops.hpp"
#include "numeric/cholesky.hpp"
#include "numeric/fit_steps.hpp"
#include "working_storage.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// Damping at the start and after the one restart.
constexpr double INITIAL_DAMPING = 0.001;
// An accepted step that lowers the sum of squares by less than this counts towards the end.
constexpr double ABSOLUTE_TOLERANCE = 0.001;

// The working storage of one fit, released when the call returns by any path.
struct FitStorage {
    std::vector<double> alpha;  // normal-equation matrix, m x m
    std::vector<double> damped; // its damped copy, factored in place, m x m
    std::vector<double> trial;  // trial coefficients
    std::vector<double> step;   // solution of the damped equations
    std::vector<double> grad;   // gradient at one sample
    std::vector<double> beta;   // right-hand side

    bool obtain(std::size_t m) noexcept {
        using numeric_detail::obtain;
        return obtain(alpha, m * m) && obtain(damped, m * m) && obtain(trial, m) &&
               obtain(step, m) && obtain(grad, m) && obtain(beta, m);
    }
};

} // namespace

int NonLinearFit(const double* x, const double* y, double* z, int n, FitModel model, double* coef,
                 int m, double* mse) noexcept {
    if (n < 1 || m < 1) {
        return NUMERIC_BAD_COUNT;
    }
    if (n < m) {
        return NUMERIC_TOO_FEW_SAMPLES;
    }
    FitStorage w;
    const auto order = static_cast<std::size_t>(m);
    if (!w.obtain(order)) {
        return NUMERIC_NO_STORAGE;
    }

    double damping = INITIAL_DAMPING;
    int restarts = 0;
    double chisq = 0.0;
    // The gradient nudges the coefficients it works on, so the first guess is taken on a
    // working copy: the caller's coef changes only when a step is accepted.
    Copy1D(coef, m, w.trial.data());
    FitNormalEquations(x, y, n, model, w.trial.data(), m, w.alpha.data(), w.beta.data(), &chisq,
                       w.grad.data());

    for (;;) {
        std::copy(w.alpha.begin(), w.alpha.end(), w.damped.begin());
        for (std::size_t j = 0; j < order; ++j) {
            w.damped[j * order + j] *= (1.0 + damping);
        }
        const int status = Cholesky(w.damped.data(), m, w.damped.data());
        if (status != NUMERIC_OK) {
            return status;
        }
        CholeskySolve(w.damped.data(), m, w.beta.data(), w.step.data());
        for (std::size_t j = 0; j < order; ++j) {
            w.trial[j] = coef[j] + w.step[j];
        }
        double trial_chisq = FitChiSquare(x, y, n, model, w.trial.data(), m);

        // An exact tie, or a sum that is not a number, ends the iteration.
        if (!(trial_chisq < chisq) && !(trial_chisq > chisq)) {
            break;
        }
        if (trial_chisq > chisq) {
            damping = 10.0 * damping;
            continue;
        }
        FitNormalEquations(x, y, n, model, w.trial.data(), m, w.alpha.data(), w.beta.data(),
                           &trial_chisq, w.grad.data());
        damping = 0.1 * damping;
        Copy1D(w.trial.data(), m, coef);
        const double improvement = chisq - trial_chisq;
        chisq = trial_chisq;
        if (improvement >= ABSOLUTE_TOLERANCE) {
            continue;
        }
        // The tolerance is absolute: one small step restarts the damping, the second ends.
        if (restarts == 1) {
            break;
        }
        restarts = 1;
        damping = INITIAL_DAMPING;
    }

    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        z[i] = model(x[i], coef, m);
        const double d = z[i] - y[i];
        sum += d * d;
    }
    *mse = sum / n;
    return NUMERIC_OK;
}
