#include "sim/line_rate.h"

// termios2 carries the rate as a number; <asm/termbits.h> clashes with
// <termios.h>, so this reading lives alone in its own file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

int ReadLineRate(int fd)
{
    struct termios2 settings {};
    if (ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    return static_cast<int>(settings.c_ospeed);
}
