// Signal handlers: a polite exit on termination requests, fatal error 431 on a stack overflow,
// internal errors for illegal instructions and memory faults. SIGINT ends up ignored: the host
// turns Ctrl-C into kst_stop().
#include "interp/error.h"
#include "interp/kest.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {
pthread_t s_mainthread;
std::atomic<bool> s_ending{false};
// The SIGSEGV handler needs a stack of its own when the fault is a stack overflow.
alignas(16) char s_altstack[1 << 16];

void kst_sigctrlc(int)
{
    if (!pthread_equal(pthread_self(), s_mainthread)) _exit(1);
    if (s_ending.exchange(true)) return;
    static const char bye[] = "\n\tSi vous avez apprecie, vous y reviendrez...\n\n";
    fflush(g_stdout);
    ssize_t unused = write(STDOUT_FILENO, bye, sizeof bye - 1);
    (void)unused;
    // _exit: the exit handlers and destructors are not safe inside a signal handler; the
    // history file is flushed after every statement, so nothing is lost.
    _exit(1);
}

void kst_sigoverflow(int) { kst_fatalerror(431); }

void kst_sigill(int sig) { kst_iceerror(1056, "kst_sigill", sig); }

void kst_sigbus(int sig, siginfo_t* info, void*)
{
    switch (info->si_code) {
    case BUS_ADRALN: kst_iceerror(1074, "kst_sigbus");
    case BUS_ADRERR: kst_iceerror(1075, "kst_sigbus");
    default: kst_iceerror(1076, "kst_sigbus");
    }
    (void)sig;
}

void install(int sig, void (*handler)(int), int flags = 0)
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sa.sa_flags = flags;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}
} // namespace

void kst_signalinit()
{
    s_mainthread = pthread_self();
    install(SIGINT, kst_sigctrlc);
    install(SIGTERM, kst_sigctrlc);
    install(SIGABRT, kst_sigctrlc);

    stack_t ss;
    ss.ss_sp = s_altstack;
    ss.ss_size = sizeof s_altstack;
    ss.ss_flags = 0;
    sigaltstack(&ss, nullptr);
    install(SIGSEGV, kst_sigoverflow, SA_ONSTACK | SA_RESETHAND);
    install(SIGILL, kst_sigill, SA_RESETHAND);

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = kst_sigbus;
    sa.sa_flags = SA_SIGINFO | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGBUS, &sa, nullptr);

    // A write to a closed pipe (an external program gone) must be an error, not the end.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGINT, SIG_IGN);
}
