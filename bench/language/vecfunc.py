# laps: sin1 exp1 log1 sqrt1
# numpy runs these on one thread.
import sys, time
import numpy as np
n = int(sys.argv[1]) if len(sys.argv) > 1 else 10000000
x = np.random.default_rng(1).random(n) * 10 + 0.5
for name, f in (("sin1", np.sin), ("exp1", np.exp), ("log1", np.log), ("sqrt1", np.sqrt)):
    t = time.perf_counter(); c = time.process_time()
    y = f(x)
    print(name, time.perf_counter() - t, time.process_time() - c)
