// The command line's progress bar: drawn on a terminal (a pseudo-terminal
// here), never on a pipe, and cleared when the operation ends.
#include "cinemill/cli/terminal_progress.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace cinemill::cli {
namespace {

// Everything that can be read from `fd` now (non-blocking).
std::string Drain(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string out;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n > 0) out.append(buf, static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR) continue;
        else break;
    }
    return out;
}

struct Pty {
    int master = -1, slave = -1;
    explicit Pty(unsigned short columns = 80) {
        winsize ws{};
        ws.ws_row = 24;
        ws.ws_col = columns;
        if (openpty(&master, &slave, nullptr, nullptr, &ws) != 0) master = slave = -1;
    }
    ~Pty() {
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
};

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
    return n;
}

TEST(TerminalProgressLine, FillsTheBarInProportionAndRightAlignsThePercentage) {
    EXPECT_EQ(TerminalProgress::Line("Work", 0.5, 10), "Work [#####     ]  50%");
    EXPECT_EQ(TerminalProgress::Line("Work", 0.0, 4), "Work [    ]   0%");
    EXPECT_EQ(TerminalProgress::Line("", 1.0, 4), "[####] 100%");
    // Beyond the range (more steps than announced) stays full.
    EXPECT_EQ(TerminalProgress::Line("x", 3.0, 4), "x [####] 100%");
}

TEST(TerminalProgress, WritesNothingToAPipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    {
        TerminalProgress p(fds[1]);
        EXPECT_FALSE(p.Drawing());
        p.SetText(StringId::OptimizingFrames);
        p.SetRange(10);
        for (int i = 0; i < 10; ++i) EXPECT_TRUE(p.Step());
        p.End();
        TerminalProgressFactory factory(fds[1]);
        auto made = factory.Make(ProgressMode::DialogPumped);
        made->SetRange(2);
        made->Step();
    }
    close(fds[1]);
    EXPECT_EQ(Drain(fds[0]), "");
    close(fds[0]);
}

TEST(TerminalProgress, DrawsOnATerminalOnlyWhenThePercentageChangesAndClearsAtTheEnd) {
    Pty pty;
    if (pty.master < 0) GTEST_SKIP() << "no pseudo-terminal on this machine";
    {
        TerminalProgress p(pty.slave);
        ASSERT_TRUE(p.Drawing());
        p.SetText(StringId::OptimizingFrames);
        p.SetRange(1000);
        for (int i = 0; i < 1000; ++i) ASSERT_TRUE(p.Step());
        const std::string shown = Drain(pty.master);
        // The text line once, then one redraw per percent: 0 (range set) to 100.
        EXPECT_EQ(Count(shown, "\r"), 101u) << shown.substr(0, 200);
        EXPECT_NE(shown.find(std::string(LoadString(StringId::OptimizingFrames)) + " ["), std::string::npos);
        EXPECT_NE(shown.find("] 100%\x1b[K"), std::string::npos);
        EXPECT_NE(shown.find("]  37%"), std::string::npos);
        // 80 columns: every drawn line fits.
        size_t longest = 0, start = 0;
        for (size_t at = shown.find('\r', 1); at != std::string::npos; at = shown.find('\r', at + 1)) {
            longest = std::max(longest, at - start - 4);  // less "\x1b[K" and "\r"
            start = at;
        }
        EXPECT_LT(longest, 80u);
    }
    // The reporter went away: the line is erased.
    EXPECT_EQ(Drain(pty.master), "\r\x1b[K");
}

TEST(TerminalProgress, ANarrowTerminalGetsAShorterBarAndSilentJobsNoBar) {
    Pty pty(40);
    if (pty.master < 0) GTEST_SKIP() << "no pseudo-terminal on this machine";
    TerminalProgressFactory factory(pty.slave);
    {
        auto silent = factory.Make(ProgressMode::Silent);
        silent->SetRange(4);
        silent->Step();
    }
    EXPECT_EQ(Drain(pty.master), "");
    {
        auto bar = factory.Make(ProgressMode::DialogNoPump);
        bar->SetRange(4);
        bar->Step();
    }
    const std::string shown = Drain(pty.master);
    // 40 columns less the brackets, the percentage and the last column.
    EXPECT_NE(shown.find("\r" + TerminalProgress::Line("", 0.25, 31) + "\x1b[K"), std::string::npos) << shown;
    EXPECT_EQ(TerminalProgress::Line("", 0.25, 31).size(), 38u);
}

#ifdef CM_CLI
// The whole command: `edit ... reduce` on a terminal draws the bar on
// stderr; on a pipe its stderr holds no control characters.
std::string RunOnTerminal(const std::string& args, int& status) {
    int master = -1;
    winsize ws{};
    ws.ws_row = 24;
    ws.ws_col = 100;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
    if (pid < 0) return {};
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", (std::string(CM_CLI) + " " + args + " >/dev/null").c_str(), nullptr);
        _exit(127);
    }
    std::string out;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n > 0) out.append(buf, static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR) continue;
        else break;  // EIO once the child has closed the terminal
    }
    waitpid(pid, &status, 0);
    close(master);
    return out;
}

TEST(TerminalProgressCli, EditDrawsTheBarOnATerminalAndNothingOnAPipe) {
    const std::string in = std::string(CM_TESTDATA_DIR) + "/sample.gif";
    int status = -1;
    const std::string shown = RunOnTerminal("edit " + in + " reduce 8 dither optimize", status);
    if (status == -1) GTEST_SKIP() << "no pseudo-terminal on this machine";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    EXPECT_NE(shown.find("] 100%\x1b[K"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::string(LoadString(StringId::OptimizingFrames)) + " ["), std::string::npos);
    // The last thing on the terminal is the erased line.
    EXPECT_TRUE(shown.ends_with("\r\x1b[K")) << shown;

    const std::string cmd = std::string(CM_CLI) + " edit " + in + " reduce 8 dither optimize 2>&1 >/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string piped;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) piped.append(buf, n);
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(piped.find('\r'), std::string::npos) << piped;
    EXPECT_EQ(piped.find('\x1b'), std::string::npos) << piped;
}
#endif

}  // namespace
}  // namespace cinemill::cli
