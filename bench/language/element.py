# laps: fill sum
import sys, time
n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
x = [0.0] * n
t = time.perf_counter(); c = time.process_time()
for k in range(1, n + 1):
    x[k - 1] = k
t1 = time.perf_counter(); c1 = time.process_time()
s = 0
for k in range(1, n + 1):
    s = s + x[k - 1]
t2 = time.perf_counter(); c2 = time.process_time()
print("fill", t1 - t, c1 - c)
print("sum", t2 - t1, c2 - c1)
print(s)
