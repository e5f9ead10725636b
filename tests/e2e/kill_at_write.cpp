// Preloaded into a program under test: counts its positioned writes and kills the process
// with SIGKILL at write number KILL_AT_WRITE, before that write or (KILL_TORN=1) after half
// of its bytes, as a power cut or a crash would leave the file.

#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

using Pwrite = ssize_t (*)(int, const void*, size_t, off_t);

long writes = 0;

ssize_t counted(const char* name, int fd, const void* data, size_t length, off_t offset)
{
    static const Pwrite real = reinterpret_cast<Pwrite>(dlsym(RTLD_NEXT, name));
    static const char* at = getenv("KILL_AT_WRITE");
    static const long killAt = at ? atol(at) : 0;
    static const bool torn = getenv("KILL_TORN") != nullptr;
    if (++writes == killAt) {
        if (torn && length > 1)
            real(fd, data, length / 2, offset);
        kill(getpid(), SIGKILL);
    }
    return real(fd, data, length, offset);
}

} // namespace

extern "C" ssize_t pwrite(int fd, const void* data, size_t length, off_t offset)
{
    return counted("pwrite", fd, data, length, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* data, size_t length, off_t offset)
{
    return counted("pwrite64", fd, data, length, offset);
}
