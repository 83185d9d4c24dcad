#!/usr/bin/python3
# The natural cubic spline of `interpol(SPLINE, ...)` against scipy's CubicSpline with
# bc_type='natural', on the same samples of cubics (even and uneven knots, ascending and
# descending, targets inside and outside): every value must agree to 1e-12.
#
#   bench/interpol/spline_scipy.py [path/to/kest]      (default: build/kest)
#
# scipy comes from Debian (python3-scipy, `scripts/bootstrap --bench-peers`) and runs under
# /usr/bin/python3. The script also prints the values the unit test pastes as constants.
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.interpolate import CubicSpline

top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
kest = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "build", "kest")

cases = {
    "x^3 on 0..5": (np.arange(6.0), lambda u: u**3, [-0.5, 0.25, 1.5, 2.75, 3.1, 4.9, 6]),
    "cubic, uneven knots": (np.array([-1, -0.6, 0, 0.25, 0.9, 1.3, 2, 2.2, 3]),
                            lambda u: u**3 - 2 * u**2 + 0.5 * u + 1,
                            np.linspace(-2, 4.5, 27)),
    "cubic, descending knots": (np.linspace(10, -3, 40), lambda u: 0.01 * u**3 - u + 2,
                                np.linspace(-5, 12, 101)),
}


def vector(name, values):
    return "vnumR %s;\n" % name + "".join("%s[%d] = %.17g$\n" % (name, i + 1, v) for i, v in enumerate(values))


worst = 0.0
with tempfile.TemporaryDirectory() as tmp:
    for label, (x, f, t) in cases.items():
        t = np.asarray(t, dtype=float)
        y = f(x)
        order = np.argsort(x)
        reference = CubicSpline(x[order], y[order], bc_type="natural", extrapolate=True)(t)
        out = os.path.join(tmp, "r.txt")
        script = os.path.join(tmp, "s.t")
        with open(script, "w") as s:
            s.write(vector("x", x) + vector("y", y) + vector("t", t))
            s.write("r = interpol(SPLINE, x, y, t)$\nwrite(\"%s\", 1:-1, r);\n" % out)
        subprocess.run([kest, script], check=True, stdout=subprocess.DEVNULL)
        ours = np.loadtxt(out)
        diff = np.max(np.abs(ours - reference))
        worst = max(worst, diff)
        print("%-26s %4d samples %4d targets  largest difference %.3g" % (label, len(x), len(t), diff))
        if label == "x^3 on 0..5":
            print("  scipy values: {" + ", ".join("%.17g" % v for v in reference) + "}")

print("largest difference over every case: %.3g (%s)" % (worst, "agrees to 1e-12" if worst <= 1e-12 else "DIFFERS"))
sys.exit(0 if worst <= 1e-12 else 1)
