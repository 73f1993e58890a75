#pragma once
// The simulated MCU (tools/sim/mcu_sim.py) behind a test sandbox's ttyS4, as
// the link tests drive it and read its transcript. The tests that run the
// protocol in this process start the simulator themselves (start()); a
// sandbox started with "--mcu sim" has its own, which control() and the
// transcript reach all the same.

#include "testsandbox.h"

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

class McuSim
{
public:
    explicit McuSim(const TestSandbox &sb)
        : m_sb(sb)
    {}
    ~McuSim() { stop(); }
    McuSim(const McuSim &) = delete;
    McuSim &operator=(const McuSim &) = delete;

    // Runs the simulator for this process (it ends with it) and waits for
    // its ready file.
    bool start();
    void stop();

    // Appends a control line (mcu_sim.py --help lists them) and waits until
    // the simulator has taken it (its "command" event in the transcript).
    // Returns the transcript position right after that event, from where the
    // command holds.
    int control(const QString &line) const;

    // Every line of the transcript, one JSON object each.
    QList<QJsonObject> transcript() const;
    // A mark for the frames that come after it.
    int mark() const { return transcript().size(); }
    // The frames the player sent since the mark.
    QList<QJsonObject> framesSince(int mark) const;
    // The same as keys: "r 9/3/0 p0" (kind, group/item/slot, preset, and
    // " tT" / " uU" for another target or unit); withPolls false leaves out
    // the status polls and now-playing packets.
    QStringList sentSince(int mark, bool withPolls = true) const;

    static QString frameKey(const QJsonObject &o);
    static bool isFrameFromPlayer(const QJsonObject &o);

private:
    const TestSandbox &m_sb;
    std::unique_ptr<QProcess> m_process;
};
