// Renders every page of the setup screen, the frequency-switch screen and
// the setup's confirmation popups as the car shows them (480 x 320, the
// navigation bar with the page's title, the program's style sheet and
// fonts) in the three languages:
//
//   QT_QPA_PLATFORM=offscreen vdx_setupshots OUTDIR
//
// One PNG per scene and language: setup-NAME-zh.png, -en.png, -ko.png.

#include "dividerswitchform.h"
#include "globals.h"
#include "linkglobals.h"
#include "navform.h"
#include "popupselect.h"
#include "setlanguage.h"
#include "setupform.h"
#include "soundfunctions.h"
#include "soundrules.h"
#include "uiassets.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

QString g_out;
QString g_lang;
int g_failures = 0;

void settle(int ms = 400)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void shoot(QWidget &w, const QString &name)
{
    settle();
    const QString path = g_out + QStringLiteral("/setup-") + name + QLatin1Char('-') + g_lang + QStringLiteral(".png");
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "setupshots: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

// A car's settings as the DSP reports them after start-up.
void setupCar(bool threeWay)
{
    InitCurEQData();
    InitData();
    m_nCurSystem.set(47, threeWay ? 1 : 0);
    Init_CH_MapType(threeWay);
    for (int ch = 0; ch < 6; ++ch)
        InitOutHLP_Data(ch);
    const int freqs[10] = {31, 63, 125, 250, 500, 1000, 2000, 4000, 9000, 16000};
    for (int band = 0; band < 10; ++band) {
        m_nCurProgram.setU16(Image::inputSlot(0, band), quint16(freqs[band]));
        m_nCurProgram.setU16(Image::inputSlot(0, band) + 2, quint16(600 + (band % 3 - 1) * 25));
        m_nCurProgram.setU16(Image::inputSlot(0, band) + 4, 95);
    }
    m_nCurProgram.setU16(Image::inputSlot(0, 10) + 2, 630);
    m_nCurProgram.setU16(Image::inputSlot(0, 11) + 2, 580);
    const int sub = Image::outputSlot(5, 35);
    const quint8 s35[7] = {15, 13, 0, 0, 10, 1, 1};
    for (int i = 0; i < 7; ++i)
        m_nCurProgram.set(sub + i, s35[i]);
    m_nCurProgram.setU16(Image::outputSlot(0, 31) + 4, 240);
    m_nCurSystem.set(1, 2);
    m_nCurSystem.set(13, 50);
    m_nCurSystem.set(33, 1);
    m_nCurSystem.set(SysByte::SampleRate, 11);
    m_nCurSystem.set(24, 3);
    m_nCurSystem.set(43, 1);
    m_nCasModel = 8; // every row of the cascaded unit, its car types too
}

struct Screen {
    QWidget root;
    NavForm *nav;
    PopupSelect *popup;
    SetupForm *form;
    DividerSwitchForm *divider;

    Screen()
    {
        root.resize(480, 320);
        root.setObjectName(QStringLiteral("centralWidget"));
        root.setAttribute(Qt::WA_StyledBackground);
        nav = new NavForm(&root);
        nav->setGeometry(0, 0, 480, NavForm::Height);
        popup = new PopupSelect(&root);
        popup->setGeometry(root.rect());
        form = new SetupForm(popup, &root);
        form->setGeometry(0, 35, 480, SetupForm::Height);
        divider = new DividerSwitchForm(&root);
        divider->setGeometry(0, 35, 480, SetupForm::Height);
        divider->hide();
        QObject::connect(form, &SetupForm::setWindowTitle, nav, [this](const QString &t) { title(t); });
        nav->show();
        form->show();
        popup->raise();
        root.show();
        title(form->currentTitle());
    }
    void title(const QString &t)
    {
        nav->setType(true);
        nav->setWindowTitle(t);
    }
    void open(std::initializer_list<SetupForm::Page> pages, int arg = 0)
    {
        form->resetToMain();
        for (SetupForm::Page p : pages)
            form->showPage(
                p, p == SetupForm::PeqBandPage || p == SetupForm::XOverEdgePage || p == SetupForm::MemorySlotPage ? arg
                                                                                                                  : 0);
        title(form->currentTitle());
    }
};

void renderLanguage(int language)
{
    SetLanguage::GetLanguageInstance()->ChangeLanguage(language);
    LanguageID = language;
    g_lang = QStringList{QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ko")}.value(language);
    using P = SetupForm;
    for (bool threeWay : {false, true}) {
        setupCar(threeWay);
        Screen s;
        if (!threeWay) {
            s.open({});
            shoot(s.root, QStringLiteral("main"));
            s.open({P::SoundPage});
            shoot(s.root, QStringLiteral("sound"));
            s.form->selectRowByCode(P::EdTreble);
            s.form->click_Current_Row();
            s.form->change_Current_Row(true);
            shoot(s.root, QStringLiteral("sound-treble-editing"));
            s.form->click_Current_Row();
            s.open({P::SoundPage, P::SubwooferPage});
            shoot(s.root, QStringLiteral("subwoofer"));
            s.open({P::SoundPage, P::PeqBandsPage});
            shoot(s.root, QStringLiteral("peq-bands"));
            s.open({P::SoundPage, P::PeqBandsPage, P::PeqBandPage}, 5);
            shoot(s.root, QStringLiteral("peq-band6"));
            s.open({P::SoundPage, P::InputVolumePage});
            shoot(s.root, QStringLiteral("input-volume"));
            s.open({P::SoundPage, P::MemoryPage});
            shoot(s.root, QStringLiteral("memory"));
            s.open({P::SoundPage, P::MemoryPage, P::MemorySlotPage}, 12);
            shoot(s.root, QStringLiteral("memory-user"));
            s.form->selectRowByCode(P::ActSaveMemory);
            s.form->click_Current_Row();
            shoot(s.root, QStringLiteral("memory-save-confirm"));
            s.popup->hide();
            s.open({P::PresetPage});
            shoot(s.root, QStringLiteral("preset-eq"));
            s.open({P::BluetoothPage});
            shoot(s.root, QStringLiteral("bluetooth"));
            s.open({P::GeneralPage});
            shoot(s.root, QStringLiteral("general"));
            s.form->change_Current_Row(true, 10);
            shoot(s.root, QStringLiteral("general-end"));
            s.open({P::GeneralPage, P::MixPage});
            shoot(s.root, QStringLiteral("mix"));
            s.open({P::GeneralPage, P::DimmerPage});
            shoot(s.root, QStringLiteral("dimmer"));
            s.open({P::GeneralPage, P::TaveloPage});
            shoot(s.root, QStringLiteral("tavelo"));
            // Down to the car types; the third one loaded.
            s.form->selectRowByCode(P::ActCasPreset);
            s.form->change_Current_Row(true, 2);
            s.form->click_Current_Row();
            s.form->change_Current_Row(true, 3);
            shoot(s.root, QStringLiteral("tavelo-cartypes"));
            s.open({P::GeneralPage, P::SpdifPage});
            shoot(s.root, QStringLiteral("spdif"));
            s.open({P::GeneralPage});
            s.form->selectRowByCode(P::EdSampleRate);
            s.form->click_Current_Row();
            s.form->change_Current_Row(false);
            s.form->click_Current_Row();
            shoot(s.root, QStringLiteral("samplerate-confirm"));
            s.popup->hide();
            s.form->selectRowByCode(P::ActClearAll);
            s.form->click_Current_Row();
            shoot(s.root, QStringLiteral("clear-all-confirm"));
            s.popup->updateData(true);
            s.popup->popupClicked();
            shoot(s.root, QStringLiteral("clear-all-restoring"));
            s.popup->hide();
            s.open({});
            s.form->selectRowByCode(P::ActDefeat);
            s.form->click_Current_Row();
            shoot(s.root, QStringLiteral("defeat-confirm"));
            s.popup->hide();
            s.open({P::GeneralPage, P::TaveloPage});
            s.popup->setType(P::PopupSearching, SetupForm::tr("搜寻中..."));
            shoot(s.root, QStringLiteral("tavelo-searching"));
            s.popup->hide();
        }
        const QString mode = threeWay ? QStringLiteral("3way") : QStringLiteral("2way");
        s.open({P::SoundPage, P::TimePage});
        s.form->change_Current_Row(true);
        shoot(s.root, QStringLiteral("time-correction-") + mode);
        s.open({P::SoundPage, P::XOverPage});
        shoot(s.root, QStringLiteral("xover-") + mode);
        s.open({P::SoundPage, P::XOverPage, P::XOverEdgePage},
               int(threeWay ? CrossoverRow::MidHigh : CrossoverRow::FrontHigh));
        shoot(s.root, QStringLiteral("xover-edge-") + mode);

        // The frequency-switch screen: the choice, then switching and done.
        s.form->hide();
        s.divider->show();
        s.divider->reload();
        s.title(QCoreApplication::translate("MainWindow", "分频器设置"));
        shoot(s.root, QStringLiteral("divider-") + mode);
        if (!threeWay) {
            s.divider->change_Current_Row(true);
            s.divider->submit();
            shoot(s.root, QStringLiteral("divider-switching"));
            QDeadlineTimer done(DividerSwitchForm::SwitchMs + 2000);
            while (s.divider->switching() && !done.hasExpired())
                settle(100);
            shoot(s.root, QStringLiteral("divider-switched"));
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vdx_setupshots OUTDIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_out)) {
        std::fprintf(stderr, "setupshots: cannot make %s\n", argv[1]);
        return 1;
    }
    UiAssets::registerFonts();
    QFile qss(QStringLiteral(":/qss/Resource/MainStyle.qss"));
    if (qss.open(QIODevice::ReadOnly)) {
        QByteArray css = qss.readAll();
        if (css.indexOf('\0') >= 0)
            css.truncate(css.indexOf('\0'));
        app.setStyleSheet(QString::fromLatin1(css));
    }
    for (int language : {0, 1, 2})
        renderLanguage(language);
    return g_failures == 0 ? 0 : 1;
}
