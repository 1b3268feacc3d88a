// The real binwright on a pseudo-terminal: labelled bars per phase, then the result line.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "cli/cli_harness.h"

namespace bw::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Runs the program with stdin, stdout and stderr on one pseudo-terminal; all it printed.
std::string RunOnTerminal(std::vector<std::string> args, const std::string& folder) {
    args.insert(args.begin(), BINWRIGHT_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return "forkpty failed";
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the program has ended and closed its side
        }
    }
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    return text + "exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

TEST(CliOnATerminal, LabelledBarPerPhaseRedrawnInPlaceThenTheResult) {
    TempFolder dir;
    WriteImageFile(dir.file("image.bin"), PatternImage(3));
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> shown;
        std::vector<std::string> absent;
    };
    const std::vector<Case> cases = {
        {{"--simulate", "write", "image.bin", "--format", "256", "--blocks", "2", "--write-id",
          "-v"},
         {"image image.bin  sha256 ", "\rChecking mouse", "\rWriting 512 bytes", "256/512  50%",
          "512/512 100%", "Writing factory record", "Reading back block 1/2",
          "Reading back block 2/2", "ok  (", " ms, 1 attempt)\r\n", "Write Pass\r\nexit 0"},
         {"failed"}},
        {{"--simulate=ic=1,stuck-byte=10", "write", "--ic", "1", "image.bin",
          "--verify-after-write"},
         {"Writing 2048 bytes", "2048/2048 100%", "\rVerifying", "failed",
          "Write Fail\r\nWrite Fail: block 1 differs at 0x010 (wrote 77, read FF), 1 byte "
          "differs\r\nexit 1"},
         {"Checking mouse", " ms, "}},
        {{"--simulate=ic=1", "-q", "save", "--ic", "1", "saved"},
         {"Save Pass\r\nsaved saved.bin\r\nexit 0"},
         {"Reading", "%", "sha256"}},
    };
    for (const auto& c : cases) {
        const std::string text = RunOnTerminal(c.args, dir.file(""));
        for (const auto& s : c.shown) EXPECT_THAT(text, HasSubstr(s)) << c.args[0];
        for (const auto& s : c.absent) EXPECT_THAT(text, Not(HasSubstr(s))) << c.args[0];
    }
}

}  // namespace
}  // namespace bw::test
