# laps: call
import sys, time
n = int(sys.argv[1]) if len(sys.argv) > 1 else 200000
def inc(a):
    return a + 1
s = 0
t = time.perf_counter(); c = time.process_time()
for j in range(1, n + 1):
    s = inc(s)
print("call", time.perf_counter() - t, time.process_time() - c)
print(s)
