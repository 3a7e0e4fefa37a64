// k4sim: serves the emulated K4 acquisition unit on a pseudo-terminal. Prints the path of the
// terminal's slave side on the first line of standard output; the program opens that path as
// its serial port. See README.md beside this file for the options.

#include "k4demo.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The rate the host set on the line, 0 when it is not a standard one.
int lineBaud(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return 0;
    switch (cfgetospeed(&t)) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}

void usage()
{
    std::fprintf(stderr, "usage: k4sim [options]\n"
                         "  --seed N            seed of the signals (default 1)\n"
                         "  --vary-seed         each acquisition uses the next seed\n"
                         "  --baud N            pace replies at N baud (default: the rate the host set)\n"
                         "  --no-pace           send replies as fast as the terminal takes them\n"
                         "  --fault KIND        wrong-handshake, no-ack, wrong-ack, wrong-checksum, stall,\n"
                         "                      busy-forever, garbage, hang-up\n"
                         "  --fault-count N     spoil only the first N frames (default: all)\n"
                         "  --fault-command C   spoil only frames of command C (33, 34, 35 or 0x21..0x23)\n"
                         "  --stall-ms N        length of a stall; negative: forever (default 2000)\n"
                         "  --link PATH         make PATH a symbolic link to the terminal\n"
                         "  --rx-log FILE       append every byte received to FILE\n"
                         "  --lifetime-ms N     exit after N ms (default: run until killed)\n");
}

} // namespace

int main(int argc, char** argv)
{
    K4Unit unit;
    K4Fault fault;
    bool fixedBaud = false;
    std::string linkPath;
    std::string logPath;
    double lifetimeMs = 0;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--seed")
            unit.setSeed(quint32(std::strtoul(value(), nullptr, 0)));
        else if (a == "--vary-seed")
            unit.setVarySeed(true);
        else if (a == "--baud") {
            unit.setBaud(std::atoi(value()));
            fixedBaud = true;
        } else if (a == "--no-pace")
            unit.setPaced(false);
        else if (a == "--fault") {
            bool ok = false;
            fault.kind = K4Fault::kindFromName(QByteArray(value()), &ok);
            if (!ok) {
                usage();
                return 2;
            }
        } else if (a == "--fault-count")
            fault.count = std::atoi(value());
        else if (a == "--fault-command")
            fault.command = int(std::strtol(value(), nullptr, 0));
        else if (a == "--stall-ms")
            fault.stallMs = std::atoi(value());
        else if (a == "--link")
            linkPath = value();
        else if (a == "--rx-log")
            logPath = value();
        else if (a == "--lifetime-ms")
            lifetimeMs = std::atof(value());
        else {
            usage();
            return 2;
        }
    }
    unit.setFault(fault);

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("k4sim: pseudo-terminal");
        return 1;
    }
    const char* slave = ptsname(master);
    if (!slave) {
        std::perror("k4sim: ptsname");
        return 1;
    }
    // Raw line: no echo, no translation of the bytes in either direction.
    termios t{};
    if (tcgetattr(master, &t) == 0) {
        cfmakeraw(&t);
        cfsetspeed(&t, B115200);
        tcsetattr(master, TCSANOW, &t);
    }
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(slave, linkPath.c_str()) != 0) {
            std::perror("k4sim: symlink");
            return 1;
        }
    }
    FILE* log = logPath.empty() ? nullptr : std::fopen(logPath.c_str(), "ab");

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("%s\n", slave);
    std::fflush(stdout);

    const double started = nowMs();
    bool hostSeen = false;
    QByteArray pending; // reply bytes taken from the unit, not yet accepted by the terminal
    char buf[4096];
    int result = 0;
    unit.connectLine(started);

    while (!g_stop) {
        double now = nowMs();
        if (lifetimeMs > 0 && now - started > lifetimeMs)
            break;
        if (!fixedBaud) {
            const int b = lineBaud(master);
            if (b > 0)
                unit.setBaud(b);
        }

        // Move what has come out of the unit by now to the terminal.
        const qint64 ready = unit.available(now);
        if (ready > 0 && pending.size() < 65536) {
            const qint64 old = pending.size();
            pending.resize(old + ready);
            pending.resize(old + unit.read(pending.data() + old, ready, now));
        }
        if (!pending.isEmpty()) {
            const ssize_t w = ::write(master, pending.constData(), size_t(pending.size()));
            if (w > 0)
                pending.remove(0, qint64(w));
            else if (w < 0 && errno == EIO)
                pending.clear(); // nobody on the other side
        }
        if (pending.isEmpty() && unit.hungUp(now)) {
            std::printf("hang-up\n");
            std::fflush(stdout);
            break;
        }

        int timeout = 50;
        const double next = unit.nextByteMs(now);
        if (!pending.isEmpty())
            timeout = 2;
        else if (next != K4Unit::Never)
            timeout = int(std::clamp(std::ceil(next - now), 0.0, 50.0));
        pollfd p{master, short(POLLIN | (pending.isEmpty() ? 0 : POLLOUT)), 0};
        const int r = ::poll(&p, 1, timeout);
        if (r < 0 && errno != EINTR)
            break;
        now = nowMs();
        bool closed = (p.revents & POLLHUP) != 0;
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) {
                hostSeen = true;
                unit.receive(buf, n, now);
                if (log) {
                    std::fwrite(buf, 1, size_t(n), log);
                    std::fflush(log);
                }
                closed = false;
            } else if (n < 0 && errno == EIO) {
                closed = true;
            }
        }
        if (closed) {
            // The host closed the port: the unit sees a line without a host.
            if (hostSeen) {
                unit.connectLine(now);
                pending.clear();
                hostSeen = false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    if (log)
        std::fclose(log);
    ::close(master);
    if (!linkPath.empty())
        ::unlink(linkPath.c_str());
    return result;
}
