#pragma once
// The set-up of the library tests: a sandbox entered by this process (paths,
// log and globals pointed into it), the player's library file made from the
// schema script, and a DataBase connected to it. Header only: it needs the
// library, which only the library tests link.

#include "database.h"
#include "globals.h"
#include "platform.h"
#include "testsandbox.h"

#include <memory>

class LibrarySandbox
{
public:
    // Options as for TestSandbox (the simulators by default).
    explicit LibrarySandbox(const QStringList &createOptions = {"--mcu", "sim", "--keys", "sim"})
        : m_sb(std::make_unique<TestSandbox>(createOptions))
    {
        if (!m_sb->isValid())
            return;
        m_sb->enter();
        Platform::applyEnvironment();
        InitPaths();
        InitData();
        if (!m_sb->createLibrary())
            return;
        m_db = std::make_unique<DataBase>();
        if (!m_db->createConnection())
            m_db.reset();
    }
    ~LibrarySandbox()
    {
        m_db.reset(); // the connection closes before the sandbox goes
        m_sb.reset();
    }
    LibrarySandbox(const LibrarySandbox &) = delete;
    LibrarySandbox &operator=(const LibrarySandbox &) = delete;

    bool isValid() const { return m_sb->isValid() && m_db; }
    TestSandbox &sandbox() const { return *m_sb; }
    DataBase *db() const { return m_db.get(); }
    // The player's log file in the sandbox.
    QString log() const { return m_sb->readFile(QStringLiteral("run/media/mmcblk1p3/log_730.txt")); }

private:
    std::unique_ptr<TestSandbox> m_sb;
    std::unique_ptr<DataBase> m_db;
};
