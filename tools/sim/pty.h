#pragma once

#include <QString>

namespace t7::sim {

// A pseudo-terminal pair. The simulator keeps the terminal side open itself, so that a
// program opening and closing it does not hang up the line.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString path;
};

// Opens a raw pseudo-terminal; an empty path and the reason in `error` on failure.
Pty openPty(QString& error);
void closePty(Pty& pty);

} // namespace t7::sim
