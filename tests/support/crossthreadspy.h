#pragma once
// CrossThreadSpy: a QSignalSpy for signals that worker threads emit.
// Qt 5's QSignalSpy appends to its list on the emitting thread while the
// test reads that list on its own thread, without a lock: a data race. This
// spy records each emission on the emitting thread, as QSignalSpy does, but
// under a std::mutex that every read takes too; a test that sees an emission
// also sees everything the worker wrote before emitting it. The record is
// shared with the connection, so an emission still under way when the spy
// goes never writes into freed memory.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTest>
#include <QVariant>

#include <memory>
#include <mutex>
#include <type_traits>

class CrossThreadSpy
{
public:
    template <typename Sender, typename... Args>
    CrossThreadSpy(const Sender *sender, void (Sender::*signal)(Args...))
        : m_record(std::make_shared<Record>())
    {
        std::shared_ptr<Record> record = m_record;
        m_connection = QObject::connect(sender, signal, [record](Args... args) {
            const QList<QVariant> call{QVariant::fromValue(std::decay_t<Args>(args))...};
            QElapsedTimer now;
            now.start();
            std::lock_guard<std::mutex> lock(record->lock);
            record->calls.append(call);
            record->times.append(now.msecsSinceReference());
        });
    }
    ~CrossThreadSpy()
    {
        QObject::disconnect(m_connection);
        // The last emissions happen before the record goes, whoever drops it.
        std::lock_guard<std::mutex> lock(m_record->lock);
    }
    CrossThreadSpy(const CrossThreadSpy &) = delete;
    CrossThreadSpy &operator=(const CrossThreadSpy &) = delete;

    int count() const
    {
        std::lock_guard<std::mutex> lock(m_record->lock);
        return m_record->calls.size();
    }
    int size() const { return count(); }
    bool isEmpty() const { return count() == 0; }
    // Arguments of emission i (empty when there is none).
    QList<QVariant> at(int i) const
    {
        std::lock_guard<std::mutex> lock(m_record->lock);
        return m_record->calls.value(i);
    }
    QList<QVariant> first() const { return at(0); }
    QList<QVariant> last() const
    {
        std::lock_guard<std::mutex> lock(m_record->lock);
        return m_record->calls.isEmpty() ? QList<QVariant>() : m_record->calls.last();
    }
    // Every emission so far, oldest first.
    QList<QList<QVariant>> calls() const
    {
        std::lock_guard<std::mutex> lock(m_record->lock);
        return m_record->calls;
    }
    // When emission i happened, on the monotonic clock in ms (-1: none);
    // differences between spies compare.
    qint64 timeAt(int i) const
    {
        std::lock_guard<std::mutex> lock(m_record->lock);
        return m_record->times.value(i, -1);
    }

    // True when a further emission arrives within timeout ms; the test's
    // events are processed meanwhile.
    bool wait(int timeout = 5000)
    {
        const int before = count();
        QElapsedTimer t;
        t.start();
        while (count() == before && t.elapsed() < timeout)
            QTest::qWait(5);
        return count() > before;
    }

private:
    struct Record {
        std::mutex lock;
        QList<QList<QVariant>> calls; // guarded by lock
        QList<qint64> times;          // guarded by lock
    };
    std::shared_ptr<Record> m_record;
    QMetaObject::Connection m_connection;
};
