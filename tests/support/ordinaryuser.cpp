#include "tests/support/ordinaryuser.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <exception>

namespace tirelle::testing {

namespace {

constexpr uid_t kNobody = 65534;
// What the child reports when it could not become the ordinary user.
constexpr char kCannotDrop[] = "(could not become the ordinary user)";

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

unsigned ordinaryUserId() {
    return ::geteuid() == 0 ? kNobody : ::geteuid();
}

std::optional<std::string> runAsOrdinaryUser(const std::function<std::string()>& work) {
    int channel[2];
    if (::pipe(channel) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(channel[0]);
        std::string report;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            report = kCannotDrop;
        } else {
            try {
                report = work();
            } catch (const std::exception& e) {
                report = e.what();
            } catch (...) {
                report = "unknown exception";
            }
        }
        writeAll(channel[1], report);
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n <= 0) break;
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (report == kCannotDrop) return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child process failed";
    return report;
}

}  // namespace tirelle::testing
