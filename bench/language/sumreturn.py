# laps: sum
import sys, time, random
n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
random.seed(1)
x = [random.random() for _ in range(n)]
t = time.perf_counter(); c = time.process_time()
s = 0
for k in range(1, n + 1):
    s = s + x[k - 1]
print("sum", time.perf_counter() - t, time.process_time() - c)
