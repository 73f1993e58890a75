#include "electriccheckform.h"

#include "custommessage.h"
#include "globals.h"
#include "linkglobals.h"
#include "listviewwidget.h"
#include "logging.h"
#include "platform.h"
#include "records.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {

constexpr int SerialFirst = 96;
constexpr int SerialSize = 40;
constexpr int RestartDelayMs = 2000;
constexpr int UpgradeDelayMs = 1000;

} // namespace

ElectricCheckForm::ElectricCheckForm(QWidget *parent)
    : QWidget(parent)
    , m_list(new ListViewWidget(this))
    , m_message(new CustomMessage(CustomMessage::MessageBox, this))
    , m_scriptTimer(new QTimer(this))
    , m_script(Platform::udevScriptsDir() + QStringLiteral("checkUpdate.sh"))
{
    setObjectName(QStringLiteral("electricCheckForm"));
    resize(Width, Height);
    m_list->setObjectName(QStringLiteral("electricCheckList"));
    m_list->setGeometry(0, 0, Width, Height);
    m_message->setGeometry(0, 0, Width, Height);
    m_message->hide();
    m_scriptTimer->setSingleShot(true);
    connect(m_scriptTimer, &QTimer::timeout, this, [this] {
        if (!m_process)
            return;
        qCWarning(lcSound).noquote() << QStringLiteral("package script gave no result within %1 ms").arg(ScriptLimitMs);
        QProcess *p = m_process;
        m_process = nullptr;
        p->disconnect(this);
        p->kill();
        p->waitForFinished(1000);
        p->deleteLater();
        scriptFinished(QByteArray(), true);
    });
    Reset();
}

void ElectricCheckForm::Reset()
{
    m_level = 0;
    m_mainRow = 0;
    showMainRows(0);
    m_message->defaultSetting();
}

void ElectricCheckForm::showMainRows(int current)
{
    m_level = 0;
    m_list->clear();
    const QString titles[] = {tr("固件更新"), tr("经销商设置"), tr("序列号")};
    for (int i = 0; i < 3; ++i) {
        ListInfo row;
        row.title = titles[i];
        row.id = i;
        row.type = 1;
        m_list->setListData(row);
    }
    m_list->setSelectRow(current);
    emit setWindowTitle(tr("电检模式"));
}

void ElectricCheckForm::showPackages()
{
    m_packages = findPackages();
    if (m_packages.isEmpty()) {
        note(tr("未发现固件文件"), CustomMessage::DefaultDisplayMs * 2);
        return;
    }
    m_level = 1;
    m_list->clear();
    for (int i = 0; i < m_packages.size(); ++i) {
        ListInfo row;
        row.title = QFileInfo(m_packages.at(i)).fileName();
        row.value = m_packages.at(i);
        row.id = i;
        row.type = 5; // a file: no adjuster
        m_list->setListData(row);
    }
    m_list->setSelectRow(0);
    emit setWindowTitle(tr("固件更新"));
}

QStringList ElectricCheckForm::findPackages()
{
    QStringList found;
    for (const DiskInfo &disk : UsingUSBDiskList) {
        const QDir dir(disk.diskPath);
        const QStringList names = dir.entryList({QStringLiteral("FW-PK_*.vcl")}, QDir::Files, QDir::Name);
        for (const QString &name : names)
            found << dir.filePath(name);
    }
    return found;
}

QString ElectricCheckForm::serialNumber()
{
    QByteArray raw;
    for (int i = SerialFirst; i < SerialFirst + SerialSize; ++i) {
        const quint8 b = m_nCurSystem.at(i);
        if (b == 0)
            break;
        raw.append(char(b));
    }
    // A serial number is printable ASCII; anything else is a damaged field,
    // not something to put on the screen.
    for (const char c : raw) {
        if (quint8(c) < 0x20 || quint8(c) > 0x7E)
            return QString();
    }
    const QString text = QString::fromLatin1(raw).trimmed();
    return text.contains(ApplicationName.left(3)) ? text : QString();
}

void ElectricCheckForm::showSerial()
{
    const QString sn = serialNumber();
    if (sn.isEmpty())
        note(tr("没有序列号"), NoSerialMs);
    else
        note(QStringLiteral("S/N:") + sn, 0);
}

void ElectricCheckForm::note(const QString &text, int displayMs)
{
    m_message->setText(text, CustomMessage::KindNone);
    m_message->setDisplayTime(displayMs);
    m_message->show();
    m_message->raise();
}

bool ElectricCheckForm::processing() const
{
    return m_process != nullptr;
}

void ElectricCheckForm::change_Current_Row(bool up, int steps)
{
    if (processing())
        return;
    if (m_message->isShowing())
        m_message->closeMessageDlg();
    for (int i = 0; i < qMax(1, steps); ++i)
        m_list->moveSelectRow(up);
    if (m_level == 0)
        m_mainRow = m_list->currentRow();
}

void ElectricCheckForm::click_Current_Row()
{
    if (processing())
        return;
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    if (m_message->isShowing())
        m_message->closeMessageDlg();
    m_list->setViewListClicked();
    if (m_level == 1) {
        Process_UpgradeFile(m_list->rowInfo(row).value);
        return;
    }
    m_mainRow = row;
    switch (row) {
    case RowUpgrade:
        showPackages();
        break;
    case RowDealer:
        qCInfo(lcSound).noquote() << QStringLiteral("diagnostics: the current settings become the dealer preset");
        emit savePreset(11);
        break;
    case RowSerial:
        showSerial();
        break;
    default:
        break;
    }
}

bool ElectricCheckForm::Prev_Gui_Action()
{
    if (processing())
        return false;
    if (m_message->isShowing()) {
        m_message->closeMessageDlg();
        return false;
    }
    if (m_level == 1) {
        showMainRows(m_mainRow);
        return false;
    }
    return true;
}

void ElectricCheckForm::Check_DialOut_Disk()
{
    if (m_level == 1 && !processing())
        showMainRows(m_mainRow);
}

void ElectricCheckForm::Process_UpgradeFile(const QString &packagePath)
{
    if (processing())
        return;
    qCInfo(lcSound).noquote()
        << QStringLiteral("diagnostics: package \"%1\" handed to the package script").arg(packagePath);
    emit stopmusic();
    note(tr("文件处理中"), 0);
    m_process = new QProcess(this);
    m_process->setProgram(QStringLiteral("sh"));
    // The path goes as an argument, never through a shell line: a file name
    // from a stick may hold spaces or shell characters.
    m_process->setArguments({m_script, packagePath});
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    connect(m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, [this] {
        QProcess *p = m_process;
        if (!p)
            return;
        m_process = nullptr;
        m_scriptTimer->stop();
        const QByteArray out = p->readAllStandardOutput();
        p->deleteLater();
        scriptFinished(out, false);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart || !m_process)
            return;
        QProcess *p = m_process;
        m_process = nullptr;
        m_scriptTimer->stop();
        p->deleteLater();
        scriptFinished(QByteArray(), false);
    });
    m_scriptTimer->start(ScriptLimitMs);
    m_process->start(QIODevice::ReadOnly);
}

void ElectricCheckForm::scriptFinished(const QByteArray &out, bool timedOut)
{
    QByteArray text = out;
    text.replace('\n', QByteArray()).replace('\r', QByteArray());
    bool ok = false;
    const int code = timedOut ? 0 : text.trimmed().toInt(&ok, 10);
    if (timedOut)
        qCInfo(lcSound).noquote() << QStringLiteral("package script result: none (time-out)");
    else if (ok)
        qCInfo(lcSound).noquote() << QStringLiteral("package script result: %1").arg(code);
    else
        qCInfo(lcSound).noquote() << QStringLiteral("package script result: unreadable (%1 bytes)").arg(out.size());
    if (ok && code == PlayerReplaced) {
        note(tr("更新成功"), 0);
        QDir(UpgradePathDir).removeRecursively();
        executeLinuxCmd(QStringLiteral("sync"));
        QTimer::singleShot(RestartDelayMs, this, [] { executeLinuxCmd(QStringLiteral("killall -9 KLVPlayer")); });
        return;
    }
    if (ok && (code == McuFirmware || code == DspFirmware)) {
        m_message->closeMessageDlg();
        QTimer::singleShot(UpgradeDelayMs, this, &ElectricCheckForm::upgradeAction);
        return;
    }
    note(tr("固件文件错误"), CustomMessage::DefaultDisplayMs * 3);
}

void ElectricCheckForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_level == 0)
        showMainRows(m_list->currentRow() < 0 ? 0 : m_list->currentRow());
    QWidget::changeEvent(event);
}
