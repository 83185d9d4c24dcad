// The cost of one task context: what every task of a parallel loop does before and after its
// body (a context evaluating like the caller's, made current, then given back). Best of 7 rounds.
#include "interp/cctx.h"
#include "interp/kest.h"
#include "interp/taskloop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

int main(int, char** argv)
{
    // The benchmark sits in build/bench; the installation is the build directory above it.
    std::string self = argv[0];
    kst_findkestdir((self.substr(0, self.find_last_of('/') + 1) + "../kest").c_str());
    t_cctx* session = kest_init(1, 0);
    double best = 1e30;
    for (int round = 0; round < 7; round++) {
        constexpr int n = 200000;
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < n; i++) {
            t_cctxtaskcopy task(session);
            if (task.get() == session) return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / n);
    }
    printf("one task context: %.1f ns\n", best);
    return 0;
}
