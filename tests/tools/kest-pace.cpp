// kest-pace: types a script into an interactive kest the way a person would, one line each time
// kest waits for input, so that typed-ahead handling does not swallow the rest of the script.
// The transcript (prompts, the typed lines, and everything kest prints) goes to standard output.
//
//   kest-pace SCRIPT KEST [ARGS...]
//
// Waiting is detected exactly, not by timing: the main thread of kest is blocked in read() on
// descriptor 0 (Linux: /proc/PID/syscall starts with "0 0x0 ").
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t s_child;
int s_status = -1;   // kest's wait status once it has ended
int s_out = -1;
int s_in = -1;

void drain(int timeout_ms)
{
    struct pollfd p = {s_out, POLLIN, 0};
    char buf[4096];
    while (poll(&p, 1, timeout_ms) > 0) {
        ssize_t n = read(s_out, buf, sizeof buf);
        if (n <= 0) return;
        fwrite(buf, 1, n, stdout);
        timeout_ms = 0;
    }
    fflush(stdout);
}

// Asleep in read(0, ...): the line before has been consumed and fully handled.
bool blocked_in_read()
{
    std::ifstream sys("/proc/" + std::to_string(s_child) + "/syscall");
    std::string line;
    std::getline(sys, line);
    if (line.rfind("0 0x0 ", 0) != 0) return false;
    std::ifstream stat("/proc/" + std::to_string(s_child) + "/stat");
    std::getline(stat, line);
    size_t paren = line.rfind(')');
    return paren != std::string::npos && line.compare(paren + 1, 3, " S ") == 0;
}

bool waiting_for_input()
{
    int pending = 0;
    if (s_in >= 0 && ioctl(s_in, FIONREAD, &pending) == 0 && pending > 0) return false;
    if (!blocked_in_read()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return blocked_in_read();
}

// Returns false when kest ended (or stayed busy for a minute) instead of asking for input.
bool wait_for_prompt()
{
    auto start = std::chrono::steady_clock::now();
    while (true) {
        drain(0);
        if (waiting_for_input()) {
            drain(0);
            return true;
        }
        // A kest that ended (a fatal error, quit) is a zombie until reaped: kill(pid, 0) would
        // still find it.
        if (s_status < 0) {
            int st = 0;
            if (waitpid(s_child, &st, WNOHANG) == s_child) s_status = st;
        }
        if (s_status >= 0) return false;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: kest-pace SCRIPT KEST [ARGS...]\n");
        return 2;
    }
    std::ifstream script(argv[1]);
    if (!script) {
        fprintf(stderr, "kest-pace: cannot read %s\n", argv[1]);
        return 2;
    }
    int in[2], out[2];
    if (pipe(in) || pipe(out)) return 2;
    s_child = fork();
    if (s_child == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(in[0]); close(in[1]); close(out[0]); close(out[1]);
        execv(argv[2], argv + 2);
        perror("kest-pace: exec");
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    s_out = out[0];
    s_in = in[1];
    signal(SIGPIPE, SIG_IGN);

    std::string line;
    while (std::getline(script, line)) {
        if (!wait_for_prompt()) break;
        line += '\n';
        fwrite(line.data(), 1, line.size(), stdout);    // the transcript shows what was typed
        fflush(stdout);
        if (write(in[1], line.data(), line.size()) < 0) break;
    }
    wait_for_prompt();
    close(in[1]);                                       // end of input
    s_in = -1;
    drain(-1);
    int status = s_status;
    if (status < 0) waitpid(s_child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
