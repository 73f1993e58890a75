// KLVDaemon: keeps KLVPlayer running.
//
// Starts the player, starts it again whenever it ends (the player ends itself
// with "killall -9 KLVPlayer" after fatal link or database failures), and
// kills and restarts it when the heartbeat word in its shared-memory segment
// stops changing for the stall time. SIGUSR1 asks for a restart (a sandbox's
// "reboot"); SIGTERM stops the player and the daemon.
//
//   KLVDaemon [--player PATH] [--log FILE] [--pidfile FILE] [--stall SECONDS]

#include "platform.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_restartRequested = 0;
volatile sig_atomic_t g_stopRequested = 0;

std::string g_logFile;

void logLine(const std::string &text)
{
    const std::string line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toStdString() + " " + text
        + "\n";
    if (FILE *f = g_logFile.empty() ? nullptr : std::fopen(g_logFile.c_str(), "a")) {
        std::fputs(line.c_str(), f);
        std::fclose(f);
    } else {
        std::fputs(line.c_str(), stderr);
    }
}

double now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Reads the heartbeat word; false when the segment does not exist (yet).
bool readHeartbeat(int key, int *value)
{
    if (key < 0)
        return false;
    const int id = shmget(static_cast<key_t>(key), 8, 0);
    if (id < 0)
        return false;
    void *p = shmat(id, nullptr, SHM_RDONLY);
    if (p == reinterpret_cast<void *>(-1))
        return false;
    *value = *static_cast<volatile int *>(p);
    shmdt(p);
    return true;
}

std::string describeExit(int status)
{
    char buf[64];
    if (WIFSIGNALED(status))
        std::snprintf(buf, sizeof buf, "killed by signal %d", WTERMSIG(status));
    else
        std::snprintf(buf, sizeof buf, "exited with code %d", WEXITSTATUS(status));
    return buf;
}

void onSignal(int sig)
{
    if (sig == SIGUSR1)
        g_restartRequested = 1;
    else
        g_stopRequested = 1;
}

void writePidFile(const std::string &path, pid_t pid)
{
    if (path.empty())
        return;
    if (FILE *f = std::fopen(path.c_str(), "w")) {
        std::fprintf(f, "%d\n", static_cast<int>(pid));
        std::fclose(f);
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::string player;
    std::string pidFile;
    double stallSeconds = 20.0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "KLVDaemon: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--player")
            player = next();
        else if (a == "--log")
            g_logFile = next();
        else if (a == "--pidfile")
            pidFile = next();
        else if (a == "--stall")
            stallSeconds = std::atof(next().c_str());
        else {
            std::fprintf(stderr, "usage: KLVDaemon [--player PATH] [--log FILE] [--pidfile FILE] [--stall SECONDS]\n");
            return 2;
        }
    }
    if (player.empty()) {
        // Beside the daemon, as the board installs them.
        std::string self = argv[0];
        const auto slash = self.rfind('/');
        player = (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/KLVPlayer";
    }

    Platform::applyEnvironment();
    const int key = Platform::shmKey();

    struct sigaction sa {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR1, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);

    logLine("supervisor started: player " + player
            + (key < 0 ? ", no heartbeat" : ", heartbeat key " + std::to_string(key)));

    std::string reason = "first start";
    while (!g_stopRequested) {
        const pid_t pid = fork();
        if (pid < 0) {
            logLine(std::string("fork failed: ") + std::strerror(errno));
            sleep(1);
            continue;
        }
        if (pid == 0) {
            execl(player.c_str(), "KLVPlayer", static_cast<char *>(nullptr));
            std::fprintf(stderr, "KLVDaemon: cannot run %s: %s\n", player.c_str(), std::strerror(errno));
            _exit(127);
        }
        writePidFile(pidFile, pid);
        logLine("start player pid " + std::to_string(pid) + " (" + reason + ")");

        const double started = now();
        int last = 0;
        bool haveLast = readHeartbeat(key, &last);
        double lastChange = started;
        int status = 0;
        std::string why;
        for (;;) {
            const pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                why = "player pid " + std::to_string(pid) + " " + describeExit(status);
                break;
            }
            if (g_stopRequested || g_restartRequested) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                why = g_stopRequested ? "stop requested" : "reboot requested";
                break;
            }
            int v = 0;
            if (readHeartbeat(key, &v)) {
                if (!haveLast || v != last) {
                    last = v;
                    haveLast = true;
                    lastChange = now();
                }
            }
            if (key >= 0 && now() - lastChange >= stallSeconds) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                why = "heartbeat unchanged for " + std::to_string(static_cast<int>(stallSeconds)) + " s, killed pid "
                      + std::to_string(pid);
                break;
            }
            usleep(200 * 1000);
        }
        logLine("exit: " + why);
        if (g_stopRequested)
            break;
        reason = "restart after " + why;
        g_restartRequested = 0;
        // A player that dies at once is not restarted in a tight loop.
        if (now() - started < 2.0)
            sleep(1);
    }
    if (!pidFile.empty())
        std::remove(pidFile.c_str());
    logLine("supervisor stopped");
    return 0;
}
