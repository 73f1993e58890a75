#pragma once
// A sandbox for one test: created in a temporary folder through
// tools/sandbox/sandbox, destroyed (with everything it started or mounted)
// when the object goes away.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TestSandbox
{
public:
    // Options as for "sandbox create"; the simulated MCU and key controller
    // by default, since a player without its serial peers ends itself.
    explicit TestSandbox(const QStringList &createOptions = {"--mcu", "sim", "--keys", "sim"});
    ~TestSandbox();
    TestSandbox(const TestSandbox &) = delete;
    TestSandbox &operator=(const TestSandbox &) = delete;

    bool isValid() const { return !m_dir.isEmpty(); }
    QString dir() const { return m_dir; }
    QString path(const QString &boardPath) const { return m_dir + boardPath; }

    // Runs the sandbox script with a command; returns its exit code.
    int run(const QString &command, const QStringList &args = {}, QString *output = nullptr) const;
    bool start() const { return run(QStringLiteral("start")) == 0; }
    // Makes the library file from the schema script, as a first start would
    // (which restarts the player once); tests that start a player for other
    // reasons call it first. The language stored is `languageId` (the
    // script's own default is English): tests see the source texts unless
    // they ask for another language.
    bool createLibrary(int languageId = 0) const;
    bool stop() const { return run(QStringLiteral("stop")) == 0; }

    // Makes this process act inside the sandbox: the platform layer and the
    // path globals (the log, the library, the settings file). The process's
    // messages are then written to the sandbox's log file as the player
    // writes them (and still reach the test output).
    void enter() const;
    // Back to the board's paths.
    static void leave();

    QString readFile(const QString &relPath) const;
    // PID of the player the supervisor runs now (0 if none).
    int playerPid() const;

    static QString sourceDir() { return QStringLiteral(VDX_SOURCE_DIR); }
    static QString binaryDir() { return QStringLiteral(VDX_BINARY_DIR); }

private:
    QTemporaryDir m_tmp;
    QString m_dir;
};
