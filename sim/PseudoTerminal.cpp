#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

std::string Failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

std::string CPseudoTerminal::Open() {
    Close();
    CUniqueFd m(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m.Valid()) {
        return Failure("posix_openpt");
    }
    if (::grantpt(m.Get()) != 0) {
        return Failure("grantpt");
    }
    if (::unlockpt(m.Get()) != 0) {
        return Failure("unlockpt");
    }
    char name[256] = {};
    if (::ptsname_r(m.Get(), name, sizeof name) != 0) {
        return Failure("ptsname_r");
    }
    CUniqueFd s(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!s.Valid()) {
        return Failure("open slave");
    }
    termios tio{};
    if (::tcgetattr(s.Get(), &tio) != 0) {
        return Failure("tcgetattr");
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B38400);
    ::cfsetospeed(&tio, B38400);
    if (::tcsetattr(s.Get(), TCSANOW, &tio) != 0) {
        return Failure("tcsetattr");
    }
    const int flags = ::fcntl(m.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(m.Get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        return Failure("fcntl");
    }
    master = std::move(m);
    slave = std::move(s);
    slavePath = name;
    return {};
}

void CPseudoTerminal::Close() {
    slave.Reset();
    master.Reset();
}

void CPseudoTerminal::DiscardUnread() {
    if (slave.Valid()) {
        ::tcflush(slave.Get(), TCIFLUSH);
    }
}

bool CPseudoTerminal::ReportClears() {
    int on = 1;
    return master.Valid() && ::ioctl(master.Get(), TIOCPKT, &on) == 0;
}

bool CPseudoTerminal::IsClearReport(std::string_view packet) {
    // A status byte stands alone; data comes after a zero byte.
    return !packet.empty() && packet[0] != TIOCPKT_DATA && (packet[0] & TIOCPKT_FLUSHREAD) != 0;
}
