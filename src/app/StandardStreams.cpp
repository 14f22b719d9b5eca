#include "app/StandardStreams.h"

#include <cerrno>
#include <fcntl.h>

namespace {

bool closedAtStart[3] = {};

} // namespace

void secureStandardStreams()
{
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        closedAtStart[fd] = true;
        // The lowest free number is this one, the lower ones being open.
        ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
}

bool wasClosedAtStart(int fd)
{
    return fd >= 0 && fd < 3 && closedAtStart[fd];
}
