#include "gpioctrl.h"

#include "logging.h"
#include "platform.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>

namespace {

QByteArray sysfsPath(const char *fmt, unsigned int line)
{
    char rel[64];
    std::snprintf(rel, sizeof rel, fmt, line);
    return QFile::encodeName(Platform::gpioRoot()).append(rel);
}

} // namespace

GpioCtrl::GpioCtrl(unsigned int line)
    : m_line(line)
{}

GpioCtrl::~GpioCtrl()
{
    if (m_is_export && !m_unexported) {
        qCDebug(lcGpio, "/sys/class/gpio/ delete ~~~~~~~~");
        set_unexport();
    }
}

// Writes the line number to sysfs "export" or "unexport" and logs the
// outcome as "GPIO_N <what> success|failed".
bool GpioCtrl::writeLineNumber(const char *what)
{
    m_fd = ::open(QFile::encodeName(Platform::gpioRoot()) + '/' + what, O_WRONLY);
    bool ok = m_fd >= 0;
    if (ok) {
        char buf[16];
        m_len = std::snprintf(buf, sizeof buf, "%d", m_line);
        ok = ::write(m_fd, buf, m_len) == m_len;
        ::close(m_fd);
    }
    if (ok)
        qCDebug(lcGpio, "GPIO_%d %s success", m_line, what);
    else
        qCWarning(lcGpio, "GPIO_%d %s failed", m_line, what);
    return ok;
}

bool GpioCtrl::set_export()
{
    if (!writeLineNumber("export"))
        return false;
    m_is_export = true;
    return true;
}

bool GpioCtrl::set_unexport()
{
    if (!writeLineNumber("unexport"))
        return false;
    m_unexported = true;
    m_is_export = false;
    m_is_diret = false;
    return true;
}

bool GpioCtrl::set_direction(const char *dir)
{
    assert(m_is_export);
    const QByteArray path = sysfsPath("/gpio%d/direction", m_line);
    m_len = path.size();
    m_fd = ::open(path.constData(), O_WRONLY | O_TRUNC);
    if (m_fd < 0)
        return false;
    // The text goes out with its terminating NUL, as the board's driver expects.
    const ssize_t n = static_cast<ssize_t>(std::strlen(dir) + 1);
    const bool ok = ::write(m_fd, dir, n) == n;
    ::close(m_fd);
    if (!ok)
        return false;
    m_is_diret = true;
    return true;
}

int GpioCtrl::set_value(unsigned int v)
{
    assert(m_is_diret);
    const QByteArray path = sysfsPath("/gpio%d/value", m_line);
    m_len = path.size();
    m_fd = ::open(path.constData(), O_WRONLY | O_TRUNC);
    if (m_fd < 0)
        return m_fd;
    const char *text = v ? "1" : "0";
    if (::write(m_fd, text, 2) != 2) {
        ::close(m_fd);
        return -1;
    }
    ::close(m_fd);
    return 0;
}

int GpioCtrl::get_value()
{
    assert(m_is_diret);
    const QByteArray path = sysfsPath("/gpio%d/value", m_line);
    m_len = path.size();
    m_fd = ::open(path.constData(), O_RDONLY);
    if (m_fd < 0) {
        qCWarning(lcGpio, "GPIO_%d get value failed", m_line);
        return m_fd;
    }
    char c = '0';
    const ssize_t n = ::read(m_fd, &c, 1);
    ::close(m_fd);
    if (n != 1) {
        qCWarning(lcGpio, "GPIO_%d get value failed", m_line);
        return -1;
    }
    return c - '0';
}
