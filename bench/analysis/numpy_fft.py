#!/usr/bin/python3
# numpy.fft.fft on 2^20 random complex points: "numpy_fft_double_2^20 seconds" (median).
import sys
import time

import numpy as np

reps = int(sys.argv[1]) if len(sys.argv) > 1 else 5
rng = np.random.default_rng(1)
z = rng.uniform(-1, 1, 1 << 20) + 1j * rng.uniform(-1, 1, 1 << 20)
np.fft.fft(z)
times = []
for _ in range(reps):
    t = time.perf_counter()
    np.fft.fft(z)
    times.append(time.perf_counter() - t)
times.sort()
print("numpy_fft_double_2^20 %.6f" % times[len(times) // 2])
