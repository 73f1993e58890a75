#pragma once
// The dealer and diagnostic page ("电检模式"): firmware update from a
// package on a stick, saving the dealer preset, and the unit's serial
// number. Driven by the knob (rows), the knob press (row action) and the
// back key; the package script runs without blocking the screen.

#include <QWidget>

class CustomMessage;
class ListViewWidget;
class QProcess;
class QTimer;

class ElectricCheckForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 480;
    static constexpr int Height = 283;
    static constexpr int ScriptLimitMs = 15000;
    static constexpr int NoSerialMs = 5000;
    // Results of the package script.
    enum ScriptResult { PlayerReplaced = 10021, McuFirmware = 10022, DspFirmware = 10023 };
    enum Row { RowUpgrade = 0, RowDealer = 1, RowSerial = 2 };

    explicit ElectricCheckForm(QWidget *parent = nullptr);

    // Back to the first page, first row.
    void Reset();
    // Knob turn, knob press, back key. Prev_Gui_Action returns true when
    // the page has no level left (the controller returns to the previous screen).
    void change_Current_Row(bool up, int steps = 1);
    void click_Current_Row();
    bool Prev_Gui_Action();
    // A stick was pulled: a package list steps back to the first page.
    void Check_DialOut_Disk();

    // Runs the package script on a package and acts on its result.
    void Process_UpgradeFile(const QString &packagePath);
    // The package files ("FW-PK_*.vcl") at the top of every mounted disk.
    static QStringList findPackages();
    // The serial number of the system record when it is one of this
    // product's, else an empty text.
    static QString serialNumber();

    // What tests look at.
    bool onPackageList() const { return m_level == 1; }
    bool processing() const;
    ListViewWidget *list() const { return m_list; }
    CustomMessage *message() const { return m_message; }
    // Overrides the script (tests); default: the board's checkUpdate.sh.
    void setUpdateScript(const QString &path) { m_script = path; }

signals:
    void savePreset(int slot);
    void setWindowTitle(const QString &title);
    void upgradeAction();
    void stopmusic();

protected:
    void changeEvent(QEvent *event) override;

private:
    void showMainRows(int current);
    void showPackages();
    void showSerial();
    void note(const QString &text, int displayMs);
    void scriptFinished(const QByteArray &out, bool timedOut);

    ListViewWidget *m_list;
    CustomMessage *m_message;
    QProcess *m_process = nullptr;
    QTimer *m_scriptTimer;
    QString m_script;
    QStringList m_packages;
    int m_level = 0; // 0 the rows, 1 the package list
    int m_mainRow = 0;
};
