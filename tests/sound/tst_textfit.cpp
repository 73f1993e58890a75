// No text of the setup screens is cut off in any of the three languages:
// every label's text fits the label, or the label scrolls it (MLabel).
// Every page of the setup screen, the preset and time correction pages,
// the frequency-switch screen, the setup's confirmations and the messages
// of the controller are laid out with the program's style sheet and fonts.
#include "custommessage.h"
#include "dividerswitchform.h"
#include "globals.h"
#include "linkglobals.h"
#include "mlabel.h"
#include "popupselect.h"
#include "setlanguage.h"
#include "setupform.h"
#include "soundfunctions.h"
#include "soundrules.h"
#include "uiassets.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QtTest>

namespace {

// What does not fit in a label, "" when it fits.
QString cutOff(const QLabel *label)
{
    const QString text = label->text();
    if (text.isEmpty() || qobject_cast<const MLabel *>(label))
        return QString();
    const QRect box = label->contentsRect();
    const QFontMetrics fm(label->font());
    QRect need;
    if (label->wordWrap()) {
        need = fm.boundingRect(box, int(label->alignment()) | Qt::TextWordWrap, text);
        // A word wider than the box wraps nowhere.
        for (const QString &word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
            if (fm.horizontalAdvance(word) > box.width())
                need.setWidth(fm.horizontalAdvance(word));
        }
    } else {
        need = fm.boundingRect(QRect(0, 0, 10000, 10000), int(label->alignment()), text);
    }
    if (need.width() <= box.width() && need.height() <= box.height())
        return QString();
    return QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
        .arg(label->objectName(), text)
        .arg(need.width())
        .arg(need.height())
        .arg(box.width())
        .arg(box.height());
}

void collect(QWidget *root, const QString &where, QStringList *problems)
{
    QCoreApplication::processEvents();
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(root))
            continue;
        const QString p = cutOff(label);
        if (!p.isEmpty())
            problems->append(where + QStringLiteral(": ") + p);
    }
}

} // namespace

class TstTextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UiAssets::registerFonts();
        QFile qss(QStringLiteral(":/qss/Resource/MainStyle.qss"));
        QVERIFY(qss.open(QIODevice::ReadOnly));
        QByteArray css = qss.readAll();
        if (css.indexOf('\0') >= 0)
            css.truncate(css.indexOf('\0'));
        qApp->setStyleSheet(QString::fromLatin1(css));
    }
    void cleanupTestCase() { SetLanguage::GetLanguageInstance()->ChangeLanguage(0); }

    void setupScreens_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("threeWay");
        QTest::newRow("Chinese") << 0 << false;
        QTest::newRow("English") << 1 << false;
        QTest::newRow("Korean") << 2 << false;
        QTest::newRow("English three-way") << 1 << true;
        QTest::newRow("Korean three-way") << 2 << true;
    }
    void setupScreens()
    {
        QFETCH(int, language);
        QFETCH(bool, threeWay);
        SetLanguage::GetLanguageInstance()->ChangeLanguage(language);
        InitCurEQData();
        InitData();
        m_nCurSystem.set(47, threeWay ? 1 : 0);
        m_nCurSystem.set(33, 1);
        m_nCurSystem.set(43, 1);
        m_nCasModel = 8; // every row of the cascaded unit, its car types too
        QStringList problems;

        QWidget window;
        window.resize(480, 320);
        PopupSelect popup(&window);
        popup.setGeometry(window.rect());
        SetupForm form(&popup, &window);
        form.setGeometry(0, 35, 480, SetupForm::Height);
        window.show();
        using P = SetupForm;
        const QList<QList<P::Page>> paths = {
            {},
            {P::SoundPage},
            {P::SoundPage, P::SubwooferPage},
            {P::SoundPage, P::PeqBandsPage},
            {P::SoundPage, P::PeqBandsPage, P::PeqBandPage},
            {P::SoundPage, P::InputVolumePage},
            {P::SoundPage, P::TimePage},
            {P::SoundPage, P::XOverPage},
            {P::SoundPage, P::MemoryPage},
            {P::SoundPage, P::MemoryPage, P::MemorySlotPage},
            {P::PresetPage},
            {P::BluetoothPage},
            {P::GeneralPage},
            {P::GeneralPage, P::MixPage},
            {P::GeneralPage, P::DimmerPage},
            {P::GeneralPage, P::TaveloPage},
            {P::GeneralPage, P::SpdifPage},
        };
        for (const auto &path : paths) {
            form.resetToMain();
            for (P::Page page : path)
                form.showPage(page, page == P::MemorySlotPage ? 12 : 0);
            collect(&form, form.currentTitle(), &problems);
        }
        // Every crossover edge page of the mode.
        const QList<CrossoverRow> edges =
            threeWay ? QList<CrossoverRow>{CrossoverRow::High, CrossoverRow::MidHigh, CrossoverRow::MidLow,
                                           CrossoverRow::Low}
                     : QList<CrossoverRow>{CrossoverRow::FrontHigh, CrossoverRow::RearHigh, CrossoverRow::SubLow};
        for (CrossoverRow edge : edges) {
            form.resetToMain();
            form.showPage(P::SoundPage);
            form.showPage(P::XOverPage);
            form.showPage(P::XOverEdgePage, int(edge));
            collect(&form, form.currentTitle(), &problems);
        }
        // The confirmations of the setup screen, from their rows.
        form.resetToMain();
        form.showPage(P::GeneralPage);
        for (P::Code code : {P::ActClearAll, P::EdSampleRate}) {
            QVERIFY(form.selectRowByCode(code));
            form.click_Current_Row();
            if (code == P::EdSampleRate) {
                form.change_Current_Row(m_nCurSystem.at(39) != 11);
                form.click_Current_Row();
            }
            QVERIFY(popup.isVisible());
            collect(&popup, QStringLiteral("popup"), &problems);
            if (code == P::ActClearAll) {
                popup.updateData(true);
                popup.popupClicked(); // the restoring message
                collect(&popup, QStringLiteral("popup"), &problems);
            }
            popup.hide();
        }
        form.resetToMain();
        QVERIFY(form.selectRowByCode(P::ActDefeat));
        form.click_Current_Row();
        collect(&popup, QStringLiteral("popup"), &problems);
        popup.hide();
        form.showPage(P::SoundPage);
        form.showPage(P::MemoryPage);
        form.showPage(P::MemorySlotPage, 11);
        QVERIFY(form.selectRowByCode(P::ActSaveMemory));
        form.click_Current_Row();
        collect(&popup, QStringLiteral("popup"), &problems);
        popup.hide();
        form.resetToMain();
        form.showPage(P::GeneralPage);
        form.showPage(P::TaveloPage);
        popup.setType(P::PopupSearching, SetupForm::tr("搜寻中..."));
        collect(&popup, QStringLiteral("popup"), &problems);
        popup.hide();

        // The frequency-switch screen, while and after switching.
        DividerSwitchForm divider(&window);
        divider.setGeometry(0, 35, 480, SetupForm::Height);
        divider.show();
        divider.reload();
        divider.change_Current_Row(!threeWay);
        divider.submit();
        collect(&divider, QStringLiteral("divider"), &problems);
        QTRY_VERIFY_WITH_TIMEOUT(!divider.switching(), 10000);
        collect(&divider, QStringLiteral("divider"), &problems);

        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The controller's messages in the message box and the popup message.
    void messages_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("Chinese") << 0;
        QTest::newRow("English") << 1;
        QTest::newRow("Korean") << 2;
    }
    void messages()
    {
        QFETCH(int, language);
        SetLanguage::GetLanguageInstance()->ChangeLanguage(language);
        const char *texts[] = {
            "已清除异常指令",
            "APP已连接\n不可进入设置界面",
            "正在恢复原厂设置\n请等待．．．",
            "设备不支持",
            "请插入USB",
            "无歌曲",
            "设备读取中",
            "设备搜寻中",
            "版本不匹配",
            "未发现Tavelo系统",
            "系统不支持",
            "无超低通道",
            "接入USB不可超过\n6个硬盘/U盘/分区",
            "已存储",
            "成功",
            "失败",
        };
        QWidget window;
        window.resize(480, 320);
        CustomMessage box(0, &window);
        box.setGeometry(0, 35, 480, 283);
        CustomMessage popup(1, &window);
        popup.setGeometry(window.rect());
        window.show();
        QStringList problems;
        for (const char *t : texts) {
            const QString text = QCoreApplication::translate("MainWindow", t);
            for (CustomMessage *m : {&box, &popup}) {
                m->setText(text, 5000);
                QTRY_VERIFY(m->isVisible());
                collect(m, m == &box ? QStringLiteral("message box") : QStringLiteral("popup message"), &problems);
                m->defaultSetting();
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TstTextFit)
#include "tst_textfit.moc"
