#include "CSerialTransport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t SpeedOf(ViUInt32 baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return 0;
    }
}

} // namespace

CSerialTransport::CSerialTransport(const std::string &device)
{
    mFd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (mFd < 0) {
        mError = device + ": " + std::strerror(errno);
        return;
    }
    termios tio{};
    if (tcgetattr(mFd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tcsetattr(mFd, TCSANOW, &tio);
    }
}

ViStatus CSerialTransport::Clear()
{
    tcflush(mFd, TCIOFLUSH);
    return VI_SUCCESS;
}

ViStatus CSerialTransport::ApplySerialSettings(const SSerialSettings &settings)
{
    termios tio{};
    if (tcgetattr(mFd, &tio) != 0)
        return VI_ERROR_IO;
    const speed_t speed = SpeedOf(settings.baud);
    if (!speed)
        return VI_ERROR_NSUP_ATTR_STATE;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (settings.dataBits) {
    case 5:
        tio.c_cflag |= CS5;
        break;
    case 6:
        tio.c_cflag |= CS6;
        break;
    case 7:
        tio.c_cflag |= CS7;
        break;
    case 8:
        tio.c_cflag |= CS8;
        break;
    default:
        return VI_ERROR_NSUP_ATTR_STATE;
    }
    if (settings.parity == VI_ASRL_PAR_ODD)
        tio.c_cflag |= PARENB | PARODD;
    else if (settings.parity == VI_ASRL_PAR_EVEN)
        tio.c_cflag |= PARENB;
    else if (settings.parity != VI_ASRL_PAR_NONE)
        return VI_ERROR_NSUP_ATTR_STATE;
    if (settings.stopBits == VI_ASRL_STOP_TWO)
        tio.c_cflag |= CSTOPB;
    if (settings.flowControl & VI_ASRL_FLOW_RTS_CTS)
        tio.c_cflag |= CRTSCTS;
    return tcsetattr(mFd, TCSANOW, &tio) == 0 ? VI_SUCCESS : VI_ERROR_IO;
}
