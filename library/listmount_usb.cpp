// The USB device monitor of ListMount: every 3.5 s the device list of the
// bus; a device whose first interface has class 10 or above (neither mass
// storage nor hub) is one the player cannot use, and the user is told.
#include "listmount.h"

#include "globals.h"
#include "logging.h"

#include <QRegularExpression>

namespace {

QStringList busLines(const QString &output)
{
    QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &l : lines)
        l = l.trimmed();
    lines.removeAll(QString());
    return lines;
}

} // namespace

int ListMount::getusbnum(const QString &output) const
{
    return busLines(output).size();
}

QString ListMount::usbgetpidvid(const QString &line)
{
    const int at = line.indexOf(QStringLiteral("ID "));
    return at < 0 ? QString() : line.mid(at + 3, 9);
}

int ListMount::interfaceClass(const QString &verbose)
{
    // "      bInterfaceClass         8 Mass Storage": the number follows the
    // field name, right-aligned, so its column depends on its width.
    static const QRegularExpression re(QStringLiteral("bInterfaceClass\\s+(\\d+)"));
    const QRegularExpressionMatch m = re.match(verbose);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

bool ListMount::Is_Storage_Info(const QString &line, int *interfaceClassOut)
{
    const QString id = usbgetpidvid(line);
    static const QRegularExpression idShape(QStringLiteral("^[0-9a-fA-F]{4}:[0-9a-fA-F]{4}$"));
    int cls = -1;
    if (idShape.match(id).hasMatch())
        cls = interfaceClass(executeLinuxCmd(QStringLiteral("lsusb -v -d %1 | grep bInterfaceClass").arg(id), 4000));
    *interfaceClassOut = cls;
    if (cls >= 10) {
        qCWarning(lcLibrary).noquote()
            << QStringLiteral("USB device %1 cannot be used: interface class %2 is neither mass storage nor a hub (%3)")
                   .arg(id)
                   .arg(cls)
                   .arg(line);
        emit sig_MacNotSupport(true);
    }
    return cls == 8 || cls == 9;
}

void ListMount::InitUSBnum(const QString &output)
{
    for (const QString &line : busLines(output)) {
        const bool known = std::any_of(m_usb.cbegin(), m_usb.cend(), [&](const USBInfo &u) { return u.line == line; });
        if (known)
            continue;
        USBInfo u;
        u.line = line;
        u.isStorage = Is_Storage_Info(line, &u.interfaceClass);
        m_usb.append(u);
    }
}

void ListMount::removeDev(const QString &output)
{
    const QStringList lines = busLines(output);
    m_usb.erase(std::remove_if(m_usb.begin(), m_usb.end(), [&](const USBInfo &u) { return !lines.contains(u.line); }),
                m_usb.end());
}

void ListMount::Slot_USB_Info()
{
    const QString output = executeLinuxCmd(QStringLiteral("lsusb"), 4000);
    const int count = getusbnum(output);
    if (m_usbFirst || count > m_usbLines) {
        InitUSBnum(output);
    } else if (count < m_usbLines) {
        removeDev(output);
        // The bus always lists its root hubs: "no device left" means no
        // device the player cannot use.
        const bool unusableLeft =
            std::any_of(m_usb.cbegin(), m_usb.cend(), [](const USBInfo &u) { return u.interfaceClass >= 10; });
        if (!unusableLeft)
            emit sig_MacNotSupport(false);
    }
    m_usbLines = count;
    m_usbFirst = false;
}
