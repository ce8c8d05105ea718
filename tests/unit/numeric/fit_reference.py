#!/usr/bin/env python3
"""Independent reference for the fit tests: the damped Gauss-Newton iteration, step by
step, in plain Python floats (IEEE doubles). Run it with `python3 fit_reference.py`; the
tests quote its output.

It follows the fit as the C++ library implements it: multiplicative damping starting at
0.001, the restart counter, the exact-tie test, the absolute 1e-6 forward-difference step
applied in place, and the Cholesky factor solved forward then back. The first normal
equations are built on a working copy of the first guess.
"""
import math


calls = 0


def sine_model(x, a):
    return a[0] * math.sin(0.0523598775 * x + a[1])


def decay_model(x, a):
    try:
        return a[0] * math.exp(a[1] * x)
    except OverflowError:  # C gives an infinity here
        return math.copysign(math.inf, a[0])


def line_model(x, a):
    return a[0] + a[1] * x


def flat_model(x, a):
    # Ignores a[1]: its gradient is zero and the normal equations are singular.
    return a[0] * math.sin(0.0523598775 * x)


selected = sine_model


def model(x, a):
    global calls
    calls += 1
    return selected(x, a)


def gradient(x, a):
    g = []
    for j in range(len(a)):
        a[j] += 1e-6
        f1 = model(x, a)
        a[j] -= 1e-6
        f0 = model(x, a)
        g.append((f1 - f0) * 1000000.0)
    return g


def normal_equations(xs, ys, a):
    m = len(a)
    alpha = [[0.0] * m for _ in range(m)]
    beta = [0.0] * m
    s = 0.0
    for x, y in zip(xs, ys):
        r = y - model(x, a)
        g = gradient(x, a)
        for j in range(m):
            for k in range(j + 1):
                alpha[j][k] += g[j] * g[k]
            beta[j] += g[j] * r
        s += r * r
    for j in range(m):
        for k in range(j + 1, m):
            alpha[j][k] = alpha[k][j]
    return alpha, beta, s


def chi_square(xs, ys, a):
    s = 0.0
    for x, y in zip(xs, ys):
        r = y - model(x, a)
        s += r * r
    return s


def cholesky(a):
    # Upper factor U with a = U^T U, row by row, with the 1e-8 relative pivot check.
    m = len(a)
    u = [row[:] for row in a]
    big = 0.0
    for i in range(m):
        for j in range(i, m):
            acc = 0.0
            for k in range(i):
                acc += u[k][i] * u[k][j]
            u[i][j] -= acc
        d = u[i][i]
        if not d > 0.0:
            return None
        u[i][i] = math.sqrt(d)
        big = max(big, u[i][i])
        for j in range(i + 1, m):
            u[i][j] = u[i][j] / u[i][i]
            big = max(big, abs(u[i][j]))
        t = math.sqrt(1e-16) * big
        if any(u[r][r] < t for r in range(i + 1)):
            return None
    return u


def solve(u, b):
    m = len(b)
    y = [0.0] * m
    for i in range(m):
        acc = 0.0
        for k in range(i):
            acc += u[k][i] * y[k]
        y[i] = (b[i] - acc) / u[i][i]
    x = [0.0] * m
    for i in range(m - 1, -1, -1):
        acc = 0.0
        for j in range(i + 1, m):
            acc += u[i][j] * x[j]
        x[i] = (y[i] - acc) / u[i][i]
    return x


def fit(xs, ys, coef):
    lam = 0.001
    restarted = 0
    work = coef[:]
    alpha, beta, s = normal_equations(xs, ys, work)
    accepted = 0
    rejected = 0
    while True:
        damped = [row[:] for row in alpha]
        for j in range(len(coef)):
            damped[j][j] = damped[j][j] * (1.0 + lam)
        u = cholesky(damped)
        if u is None:
            return -20041, coef, None, None, accepted, rejected
        step = solve(u, beta)
        trial = [c + d for c, d in zip(coef, step)]
        s_new = chi_square(xs, ys, trial)
        if not (s_new < s) and not (s_new > s):
            break
        if s_new > s:
            lam = 10.0 * lam
            rejected += 1
            continue
        alpha, beta, s_new = normal_equations(xs, ys, trial)
        lam = 0.1 * lam
        coef = trial[:]
        delta = s - s_new
        s = s_new
        accepted += 1
        if delta >= 0.001:
            continue
        if restarted == 1:
            break
        restarted = 1
        lam = 0.001
    z = [model(x, coef) for x in xs]
    acc = 0.0
    for zi, yi in zip(z, ys):
        acc += (zi - yi) * (zi - yi)
    return 0, coef, z, acc / len(xs), accepted, rejected


def report(name, xs, ys, guess):
    global calls
    calls = 0
    status, coef, z, mse, accepted, rejected = fit(xs, ys, guess)
    print(name, "status", status, "accepted", accepted, "rejected", rejected, "calls", calls)
    print("  coef %.17g %.17g" % (coef[0], coef[1]))
    if z is not None:
        print("  mse %.17g" % mse)
        print("  z[0] %.17g z[mid] %.17g z[last] %.17g" % (z[0], z[len(z) // 2], z[-1]))


if __name__ == "__main__":
    selected = sine_model
    xs = [6.0 * i for i in range(20)]
    ys = [0.0005 * math.sin(0.05235987755 * x + 1.0) for x in xs]
    report("work point, small sums", xs, ys, [0.00075, 0.0])
    ys = [2.0 * math.sin(0.05235987755 * x + 1.0) for x in xs]
    report("large sine", xs, ys, [3.0, 0.0])
    selected = decay_model
    xs = [float(i) for i in range(10)]
    ys = [2.0 * math.exp(-0.5 * x) for x in xs]
    report("decay with rejected steps", xs, ys, [1.0, 0.6])
    selected = flat_model
    xs = [6.0 * i for i in range(20)]
    ys = [0.0005 * math.sin(0.05235987755 * x) for x in xs]
    report("flat model", xs, ys, [0.00075, 0.0])
    selected = line_model
    xs = [0.0, 1.0, 2.0, 3.0]
    ys = [0.5 + 2.0 * x for x in xs]
    report("exact first guess", xs, ys, [0.5, 2.0])
