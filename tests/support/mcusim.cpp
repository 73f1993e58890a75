#include "mcusim.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QtTest>

bool McuSim::start()
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral("/usr/bin/python3"),
                     {TestSandbox::sourceDir() + QStringLiteral("/tools/sim/mcu_sim.py"), QStringLiteral("--sandbox"),
                      m_sb.dir(), QStringLiteral("--parent-pid"), QString::number(QCoreApplication::applicationPid())});
    const QString ready = m_sb.path(QStringLiteral("/var/run/ttyS4.ready"));
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(ready) && !deadline.hasExpired())
        QTest::qWait(50);
    return QFile::exists(ready);
}

void McuSim::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    m_process->waitForFinished(5000);
    m_process.reset();
}

int McuSim::control(const QString &line) const
{
    int after = -1; // position after the last event of this command
    auto seen = [this, line, &after] {
        const QList<QJsonObject> all = transcript();
        int n = 0;
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).value(QStringLiteral("command")).toString() == line) {
                ++n;
                after = i + 1;
            }
        }
        return n;
    };
    const int before = seen();
    QFile f(m_sb.path(QStringLiteral("/var/run/mcu.ctl")));
    [&] { QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append)); }();
    f.write(line.toUtf8() + '\n');
    f.close();
    [&] { QTRY_COMPARE_WITH_TIMEOUT(seen(), before + 1, 10000); }();
    return after;
}

QList<QJsonObject> McuSim::transcript() const
{
    QList<QJsonObject> out;
    const QString text = m_sb.readFile(QStringLiteral("var/log/mcu-transcript.jsonl"));
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        out.append(QJsonDocument::fromJson(line.toUtf8()).object());
    return out;
}

QList<QJsonObject> McuSim::framesSince(int mark) const
{
    QList<QJsonObject> out;
    for (const QJsonObject &o : transcript().mid(mark)) {
        if (isFrameFromPlayer(o))
            out << o;
    }
    return out;
}

QStringList McuSim::sentSince(int mark, bool withPolls) const
{
    QStringList out;
    for (const QJsonObject &o : framesSince(mark)) {
        const QString k = frameKey(o);
        if (withPolls || (k != QLatin1String("r 9/3/0 p0") && k != QLatin1String("w 9/121/0 p0")))
            out << k;
    }
    return out;
}

QString McuSim::frameKey(const QJsonObject &o)
{
    QString k = QStringLiteral("%1 %2/%3/%4 p%5")
                    .arg(o.value("kind").toString() == QLatin1String("write") ? "w" : "r")
                    .arg(o.value("group").toInt())
                    .arg(o.value("item").toInt())
                    .arg(o.value("slot").toInt())
                    .arg(o.value("preset").toInt());
    if (o.value("target").toInt() != 0)
        k += QStringLiteral(" t%1").arg(o.value("target").toInt());
    if (o.value("unit").toInt() != 1)
        k += QStringLiteral(" u%1").arg(o.value("unit").toInt());
    return k;
}

bool McuSim::isFrameFromPlayer(const QJsonObject &o)
{
    return o.value("dir").toString() == QLatin1String("in") && o.contains("group");
}
