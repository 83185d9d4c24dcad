# laps: loop
import sys, time
n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
s = 0
t = time.perf_counter(); c = time.process_time()
for j in range(1, n + 1):
    s = s + j
print("loop", time.perf_counter() - t, time.process_time() - c)
print(s)
