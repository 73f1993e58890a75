#include "platform.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextStream>

#include <mutex>

namespace {

struct Config {
    QString dir;
    QString pcmDevice = QStringLiteral("hw:1,0");
    QString dsdDevice = QStringLiteral("hw:0,0");
    int shmKey = 12345678;
};

std::mutex &configMutex()
{
    static std::mutex m;
    return m;
}

Config loadConfig(QString dir)
{
    Config c;
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    c.dir = dir;
    if (dir.isEmpty())
        return c;
    QSettings s(dir + QStringLiteral("/platform.conf"), QSettings::IniFormat);
    c.pcmDevice = s.value(QStringLiteral("pcm_device"), c.pcmDevice).toString();
    c.dsdDevice = s.value(QStringLiteral("dsd_device"), c.dsdDevice).toString();
    bool ok = false;
    const QString key = s.value(QStringLiteral("shm_key")).toString();
    const int k = key.toInt(&ok, 0);
    if (key == QLatin1String("none"))
        c.shmKey = -1;
    else if (ok)
        c.shmKey = k;
    return c;
}

Config &config()
{
    static Config c = loadConfig(qEnvironmentVariable("VDX_SANDBOX"));
    return c;
}

Config current()
{
    std::lock_guard<std::mutex> lock(configMutex());
    return config();
}

} // namespace

namespace Platform {

QString sandboxDir()
{
    return current().dir;
}
bool inSandbox()
{
    return !current().dir.isEmpty();
}

void reload()
{
    Config c = loadConfig(qEnvironmentVariable("VDX_SANDBOX"));
    std::lock_guard<std::mutex> lock(configMutex());
    config() = c;
}

void setSandbox(const QString &dir)
{
    if (dir.isEmpty())
        qunsetenv("VDX_SANDBOX");
    else
        qputenv("VDX_SANDBOX", QFile::encodeName(dir));
    reload();
}

QString resolve(const QString &path)
{
    const QString dir = sandboxDir();
    if (dir.isEmpty() || !path.startsWith(QLatin1Char('/')) || path.startsWith(dir + QLatin1Char('/')))
        return path;
    return dir + path;
}

QString boardPath(const QString &resolvedPath)
{
    const QString dir = sandboxDir();
    if (!dir.isEmpty() && resolvedPath.startsWith(dir + QLatin1Char('/')))
        return resolvedPath.mid(dir.size());
    return resolvedPath;
}

QString mediaPrefix()
{
    return resolve(QStringLiteral("/run/media/"));
}
QString writablePartition()
{
    return resolve(QStringLiteral("/run/media/mmcblk1p3/"));
}
QString gpioRoot()
{
    return resolve(QStringLiteral("/sys/class/gpio"));
}
QString udevScriptsDir()
{
    return resolve(QStringLiteral("/etc/udev/scripts/"));
}
QString udevRulesDir()
{
    return resolve(QStringLiteral("/etc/udev/rules.d/"));
}
QString fstabPath()
{
    return resolve(QStringLiteral("/etc/fstab"));
}
QString homeRoot()
{
    return resolve(QStringLiteral("/home/root/"));
}
QString fontsDir()
{
    return resolve(QStringLiteral("/usr/share/fonts/ttf/"));
}
QString mcuPort()
{
    return resolve(QStringLiteral("/dev/ttyS4"));
}
QString keyPort()
{
    return resolve(QStringLiteral("/dev/ttyS5"));
}
QString pcmDevice()
{
    return current().pcmDevice;
}
QString dsdDevice()
{
    return current().dsdDevice;
}
int shmKey()
{
    return current().shmKey;
}

QString volumeLabel(const QString &mountPoint, const QString &qtLabel)
{
    const QString dir = sandboxDir();
    if (dir.isEmpty())
        return qtLabel;
    // DIR/usb/labels: one "mount-point<TAB>label" line per inserted image.
    QFile f(dir + QStringLiteral("/usb/labels"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return qtLabel;
    QString mp = mountPoint;
    while (mp.endsWith(QLatin1Char('/')))
        mp.chop(1);
    QTextStream in(&f);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const int tab = line.indexOf(QLatin1Char('\t'));
        if (tab > 0 && line.left(tab) == mp)
            return line.mid(tab + 1);
    }
    return qtLabel;
}

void applyEnvironment()
{
    const QString dir = sandboxDir();
    if (dir.isEmpty())
        return;
    const QByteArray bin = QFile::encodeName(dir + QStringLiteral("/bin"));
    const QByteArray path = qgetenv("PATH");
    if (!path.startsWith(bin + ':'))
        qputenv("PATH", bin + ':' + path);
    const QString alsa = dir + QStringLiteral("/alsa/asound.conf");
    if (QFile::exists(alsa)) {
        QByteArray cfg = qgetenv("ALSA_CONFIG_PATH");
        const QByteArray mine = QFile::encodeName(alsa);
        if (!cfg.contains(mine)) {
            if (cfg.isEmpty())
                cfg = "/usr/share/alsa/alsa.conf";
            qputenv("ALSA_CONFIG_PATH", cfg + ':' + mine);
        }
    }
}

} // namespace Platform
