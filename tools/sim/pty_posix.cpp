#include "tools/sim/pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace t7::sim {

Pty openPty(QString& error)
{
    Pty pty;
    pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        closePty(pty);
        return pty;
    }
    const char* name = ptsname(pty.master);
    pty.slave = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
    if (pty.slave < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        closePty(pty);
        return pty;
    }
    termios settings{};
    tcgetattr(pty.slave, &settings);
    cfmakeraw(&settings);
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(pty.slave, TCSANOW, &settings);
    pty.path = QString::fromLocal8Bit(name);
    return pty;
}

void closePty(Pty& pty)
{
    if (pty.slave >= 0)
        ::close(pty.slave);
    if (pty.master >= 0)
        ::close(pty.master);
    pty = Pty{};
}

} // namespace t7::sim
