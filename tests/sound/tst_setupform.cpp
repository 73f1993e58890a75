// The setup screen driven as the controller drives it (knob turns, knob
// presses, back), checked on the live settings images it edits, the
// signals it sends and the texts it shows.
#include "dividerswitchform.h"
#include "factoryeqform.h"
#include "globals.h"
#include "linkglobals.h"
#include "linktext.h"
#include "listviewwidget.h"
#include "popupselect.h"
#include "setupform.h"
#include "soundfunctions.h"
#include "soundrules.h"
#include "timecorrention.h"

#include <QSignalSpy>
#include <QTextCodec>
#include <QtTest>

namespace {

int inputGain(int slot)
{
    return m_nCurProgram.u16(Image::inputSlot(0, slot) + 2);
}

QString gbkName(const ProgramImage &img)
{
    const QByteArray raw = img.bytes(0, Image::NameSize);
    return QTextCodec::codecForName("GBK")->toUnicode(raw.left(raw.indexOf('\0')));
}

} // namespace

class TstSetupForm : public QObject
{
    Q_OBJECT

private:
    PopupSelect *m_popup = nullptr;
    SetupForm *m_form = nullptr;

    // Opens the pages from the main page, as rows of each page.
    void open(std::initializer_list<SetupForm::Page> pages, int arg = 0)
    {
        m_form->resetToMain();
        for (SetupForm::Page p : pages)
            m_form->showPage(
                p, p == SetupForm::PeqBandPage || p == SetupForm::XOverEdgePage || p == SetupForm::MemorySlotPage ? arg
                                                                                                                  : 0);
    }
    // Edits the row with this code: press, turn, press.
    void edit(SetupForm::Code code, bool up, int steps = 1)
    {
        QVERIFY2(m_form->selectRowByCode(code), "row not on the page");
        m_form->click_Current_Row();
        QVERIFY(m_form->isEditing());
        m_form->change_Current_Row(up, steps);
        m_form->click_Current_Row();
    }
    QString valueOf(SetupForm::Code code)
    {
        for (int r = 0; r < m_form->rowCount(); ++r) {
            if (m_form->rowCode(r) == code)
                return m_form->rowValue(r);
        }
        return QStringLiteral("<no row>");
    }

private slots:
    void init()
    {
        InitCurEQData();
        InitData();
        m_nCasModel = -1;
        LanguageID = 0;
        m_popup = new PopupSelect;
        m_form = new SetupForm(m_popup);
        m_form->show();
    }
    void cleanup()
    {
        delete m_form;
        delete m_popup;
        m_form = nullptr;
        m_popup = nullptr;
    }

    // Each value row edits its own field by its rule, held at its ends,
    // and shows the result.
    void rowEditsItsField_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("arg");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("offset"); // program image (>= 0) or -(system byte) - 1
        QTest::addColumn<bool>("wide");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("shown");

        const int treble = Image::inputSlot(0, 10) + 2;
        const int sub = Image::outputSlot(5, 35);
        QTest::newRow("treble up") << int(SetupForm::SoundPage) << 0 << int(SetupForm::EdTreble) << treble << true
                                   << 600 << true << 610 << "+1.0dB";
        QTest::newRow("treble at max") << int(SetupForm::SoundPage) << 0 << int(SetupForm::EdTreble) << treble << true
                                       << 670 << true << 670 << "+7.0dB";
        QTest::newRow("treble at min") << int(SetupForm::SoundPage) << 0 << int(SetupForm::EdTreble) << treble << true
                                       << 530 << false << 530 << "-7.0dB";
        QTest::newRow("bass down") << int(SetupForm::SoundPage) << 0 << int(SetupForm::EdBass)
                                   << Image::inputSlot(0, 11) + 2 << true << 600 << false << 590 << "-1.0dB";
        QTest::newRow("balance at max") << int(SetupForm::SoundPage) << 0 << int(SetupForm::EdBalance) << sub << false
                                        << 30 << true << 30 << "30";
        QTest::newRow("fader down") << int(SetupForm::SoundPage) << 0 << int(SetupForm::EdFader) << sub + 1 << false
                                    << 15 << false << 14 << "14";
        QTest::newRow("sub level at max") << int(SetupForm::SubwooferPage) << 0 << int(SetupForm::EdSubLevel) << sub + 4
                                          << false << 15 << true << 15 << "15";
        QTest::newRow("sub phase") << int(SetupForm::SubwooferPage) << 0 << int(SetupForm::EdSubPhase) << sub + 5
                                   << false << 0 << true << 1 << "180°";
        QTest::newRow("sub off") << int(SetupForm::SubwooferPage) << 0 << int(SetupForm::EdSubOn) << sub + 6 << false
                                 << 1 << false << 0 << "关";
        QTest::newRow("band 3 gain at max") << int(SetupForm::PeqBandPage) << 2 << int(SetupForm::EdEqGain)
                                            << Image::inputSlot(0, 2) + 2 << true << 720 << true << 720 << "+12.0dB";
        QTest::newRow("band 1 gain down") << int(SetupForm::PeqBandPage) << 0 << int(SetupForm::EdEqGain)
                                          << Image::inputSlot(0, 0) + 2 << true << 480 << false << 480 << "-12.0dB";
        QTest::newRow("Q up lowers the index") << int(SetupForm::PeqBandPage) << 4 << int(SetupForm::EdEqQ)
                                               << Image::inputSlot(0, 4) + 4 << true << 100 << true << 99 << "";
        QTest::newRow("USB volume at max") << int(SetupForm::InputVolumePage) << 0 << int(SetupForm::EdVolUsb) << -4
                                           << false << 60 << true << 60 << "0dB";
        QTest::newRow("AUX volume down") << int(SetupForm::InputVolumePage) << 0 << int(SetupForm::EdVolAux) << -7
                                         << false << 60 << false << 59 << "-1dB";
        QTest::newRow("dimmer level at top") << int(SetupForm::DimmerPage) << 0 << int(SetupForm::EdDimmerLevel) << -36
                                             << false << 2 << true << 2 << "3";
    }
    void rowEditsItsField()
    {
        QFETCH(int, page);
        QFETCH(int, arg);
        QFETCH(int, code);
        QFETCH(int, offset);
        QFETCH(bool, wide);
        QFETCH(int, start);
        QFETCH(bool, up);
        QFETCH(int, expected);
        QFETCH(QString, shown);

        m_nCurSystem.set(SysByte::DimmerAuto, 0); // the level row is editable
        auto write = [&](int v) {
            if (offset < 0)
                m_nCurSystem.set(-offset - 1, quint8(v));
            else if (wide)
                m_nCurProgram.setU16(offset, quint16(v));
            else
                m_nCurProgram.set(offset, quint8(v));
        };
        auto read = [&] {
            return offset < 0 ? m_nCurSystem.at(-offset - 1)
                   : wide     ? m_nCurProgram.u16(offset)
                              : m_nCurProgram.at(offset);
        };
        write(start);
        if (page == SetupForm::SubwooferPage)
            open({SetupForm::SoundPage, SetupForm::SubwooferPage});
        else if (page == SetupForm::PeqBandPage)
            open({SetupForm::SoundPage, SetupForm::PeqBandsPage, SetupForm::PeqBandPage}, arg);
        else if (page == SetupForm::InputVolumePage)
            open({SetupForm::SoundPage, SetupForm::InputVolumePage});
        else if (page == SetupForm::DimmerPage)
            open({SetupForm::GeneralPage, SetupForm::DimmerPage});
        else
            open({SetupForm::Page(page)});
        edit(SetupForm::Code(code), up);
        QCOMPARE(read(), expected);
        if (!shown.isEmpty())
            QCOMPARE(valueOf(SetupForm::Code(code)), shown);
        QVERIFY(!m_form->isEditing());
    }

    // Turning without a press moves the row; the press starts editing; back
    // ends editing, then climbs one page at a time; at the main page it
    // reports that no level is left.
    void knobAndBackWalkThePages()
    {
        QCOMPARE(m_form->currentPage(), SetupForm::MainPage);
        QCOMPARE(m_form->currentTitle(), QStringLiteral("设置"));
        m_form->click_Current_Row(); // sound settings
        QCOMPARE(m_form->currentPage(), SetupForm::SoundPage);
        QCOMPARE(m_form->currentTitle(), QStringLiteral("音效设置"));
        const int treble = inputGain(10);
        m_form->change_Current_Row(true); // bass row, nothing edited
        QCOMPARE(m_form->rowCode(m_form->currentRow()), SetupForm::EdBass);
        QCOMPARE(inputGain(10), treble);
        m_form->click_Current_Row();
        QVERIFY(m_form->isEditing());
        QVERIFY(!m_form->Prev_Gui_Action()); // ends editing
        QVERIFY(!m_form->isEditing());
        QCOMPARE(m_form->currentPage(), SetupForm::SoundPage);
        QVERIFY(!m_form->Prev_Gui_Action()); // back to the main page, on the row it left
        QCOMPARE(m_form->currentPage(), SetupForm::MainPage);
        QCOMPARE(m_form->currentRow(), 0);
        QVERIFY(m_form->Prev_Gui_Action());
    }

    // Bands stay in ascending order: band 3 cannot pass band 4.
    void eqFrequencyKeepsBandOrder()
    {
        m_nCurProgram.setU16(Image::inputSlot(0, 2), 250);
        m_nCurProgram.setU16(Image::inputSlot(0, 3), 250);
        open({SetupForm::SoundPage, SetupForm::PeqBandsPage, SetupForm::PeqBandPage}, 2);
        QCOMPARE(m_form->currentTitle(), QStringLiteral("波段 3"));
        edit(SetupForm::EdEqFreq, true);
        QCOMPARE(m_nCurProgram.u16(Image::inputSlot(0, 2)), quint16(250));
        edit(SetupForm::EdEqFreq, false);
        QCOMPARE(m_nCurProgram.u16(Image::inputSlot(0, 2)), quint16(200));
        QCOMPARE(valueOf(SetupForm::EdEqFreq), QStringLiteral("200Hz"));
    }

    // The crossover rows follow the divider mode; the mid high-pass never
    // passes the mid low-pass; both channels of a pair move together.
    void crossoverRowsByMode()
    {
        Init_CH_MapType(false);
        m_nCurSystem.set(47, 0);
        open({SetupForm::SoundPage, SetupForm::XOverPage});
        QCOMPARE(m_form->rowCount(), 3);
        QCOMPARE(m_form->rowText(2), QStringLiteral("重低音扬声器"));

        m_nCurSystem.set(47, 1);
        const int hp = Image::outputSlot(2, 32);
        const int lp = hp + 4;
        for (int ch : {2, 3}) {
            m_nCurProgram.setU16(Image::outputSlot(ch, 32), 630);
            m_nCurProgram.setU16(Image::outputSlot(ch, 32) + 4, 800);
        }
        open({SetupForm::SoundPage, SetupForm::XOverPage});
        QCOMPARE(m_form->rowCount(), 4);
        open({SetupForm::SoundPage, SetupForm::XOverPage, SetupForm::XOverEdgePage}, int(CrossoverRow::MidHigh));
        QCOMPARE(m_form->currentTitle(), QStringLiteral("中音高通"));
        edit(SetupForm::EdXFreq, true, 3);
        QCOMPARE(m_nCurProgram.u16(hp), quint16(800));
        QCOMPARE(m_nCurProgram.u16(Image::outputSlot(3, 32)), quint16(800));
        QCOMPARE(m_nCurProgram.u16(lp), quint16(800));
        for (int ch : {2, 3})
            m_nCurProgram.set(Image::outputSlot(ch, 32) + 3, 0);
        edit(SetupForm::EdXSlope, false); // from 6 dB/Oct to off
        QCOMPARE(m_nCurProgram.at(hp + 3), quint8(8));
        QCOMPARE(m_nCurProgram.at(Image::outputSlot(3, 32) + 3), quint8(8));
        QCOMPARE(valueOf(SetupForm::EdXSlope), QStringLiteral("关闭"));
    }

    // The current rate asks nothing; the other rate asks first and reaches
    // the system record only after the confirmation.
    void samplingRateConfirmation_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("up");
        QTest::addColumn<bool>("asks");
        QTest::newRow("96 kHz kept") << 9 << false << false;
        QTest::newRow("192 kHz kept") << 11 << true << false;
        QTest::newRow("96 to 192 kHz") << 9 << true << true;
        QTest::newRow("192 to 96 kHz") << 11 << false << true;
    }
    void samplingRateConfirmation()
    {
        QFETCH(int, current);
        QFETCH(bool, up);
        QFETCH(bool, asks);
        m_nCurSystem.set(SysByte::SampleRate, quint8(current));
        open({SetupForm::GeneralPage});
        QVERIFY(m_form->selectRowByCode(SetupForm::EdSampleRate));
        m_form->click_Current_Row();
        m_form->change_Current_Row(up);
        m_form->click_Current_Row();
        QCOMPARE(m_popup->type() == SetupForm::PopupSampleRate, asks);
        QCOMPARE(m_nCurSystem.at(SysByte::SampleRate), quint8(current));
        if (!asks)
            return;
        const QString target = up ? QStringLiteral("192kHz") : QStringLiteral("96kHz");
        QVERIFY2(m_popup->text().contains(target), qPrintable(m_popup->text()));
        m_popup->popupClicked();
        QTRY_COMPARE_WITH_TIMEOUT(m_nCurSystem.at(SysByte::SampleRate), quint8(up ? 11 : 9), 10000);
    }

    void languageRowClamps()
    {
        QSignalSpy spy(m_form, &SetupForm::setlanguage);
        open({SetupForm::GeneralPage});
        edit(SetupForm::EdLanguage, false);
        QCOMPARE(LanguageID, 0);
        QCOMPARE(spy.count(), 0);
        edit(SetupForm::EdLanguage, true);
        QCOMPARE(LanguageID, 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(valueOf(SetupForm::EdLanguage), QStringLiteral("English"));
        edit(SetupForm::EdLanguage, true, 5);
        QCOMPARE(LanguageID, 2);
        edit(SetupForm::EdLanguage, true);
        QCOMPARE(LanguageID, 2);
        QCOMPARE(spy.count(), 2);
    }

    // Resting on a preset row reads it once; the current preset is not read again.
    void presetRowReadsOnRest()
    {
        m_nCurSystem.set(24, 1);
        const QByteArray rockName = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("摇滚"));
        storedPreset(3)->fill(0, 0, Image::NameSize);
        storedPreset(3)->write(0, rockName);
        QSignalSpy spy(m_form, &SetupForm::readPreset);
        open({SetupForm::PresetPage});
        QCOMPARE(m_form->rowCount(), FactoryEQForm::Rows);
        QCOMPARE(m_form->currentRow(), 0);
        m_form->change_Current_Row(true, 2); // Rock
        QVERIFY(m_form->presetForm()->readPending());
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 3);
        QCOMPARE(m_nCurSystem.at(24), quint8(3));
        QCOMPARE(gbkName(m_nCurProgram), QStringLiteral("摇滚"));
        m_form->click_Current_Row(); // already current
        QCOMPARE(spy.count(), 1);
    }

    // Saving a memory slot names it in GBK, takes the sound as last sent and
    // stores it in the MCU; recalling reads it back.
    void soundMemory_data()
    {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("name");
        QTest::newRow("dealer") << 11 << QStringLiteral("经销商定义");
        QTest::newRow("user") << 12 << QStringLiteral("用户自定义");
    }
    void soundMemory()
    {
        QFETCH(int, slot);
        QFETCH(QString, name);
        SendStructData.setU16(Image::inputSlot(0, 10) + 2, 650);
        SendStructData.setU16(Image::outputSlot(5, 31) + 4, 321);
        QSignalSpy save(m_form, &SetupForm::savePreset);
        QSignalSpy read(m_form, &SetupForm::readPreset);
        open({SetupForm::SoundPage, SetupForm::MemoryPage, SetupForm::MemorySlotPage}, slot);
        QVERIFY(m_form->selectRowByCode(SetupForm::ActSaveMemory));
        m_form->click_Current_Row();
        QCOMPARE(m_popup->type(), int(SetupForm::PopupSaveMemory));
        QCOMPARE(save.count(), 0);
        m_popup->popupClicked();
        QCOMPARE(save.count(), 1);
        QCOMPARE(save.at(0).at(0).toInt(), slot + 1);
        ProgramImage *stored = storedPreset(slot + 1);
        QCOMPARE(gbkName(*stored), name);
        QCOMPARE(gbkName(m_nCurProgram), name);
        QCOMPARE(stored->u16(Image::inputSlot(0, 10) + 2), quint16(650));
        QCOMPARE(stored->u16(Image::outputSlot(5, 31) + 4), quint16(321));

        QVERIFY(m_form->selectRowByCode(SetupForm::ActRecallMemory));
        m_form->click_Current_Row();
        QCOMPARE(read.count(), 1);
        QCOMPARE(read.at(0).at(0).toInt(), slot + 1);
        QCOMPARE(m_nCurSystem.at(24), quint8(slot + 1));
    }

    // Clear all asks first and offers "cancel" first: a press alone
    // cancels; turning to "OK" and pressing resets.
    void clearAllAsksThenResets()
    {
        QSignalSpy reset(m_form, &SetupForm::resetFactory);
        open({SetupForm::GeneralPage});
        QVERIFY(m_form->selectRowByCode(SetupForm::ActClearAll));
        m_form->click_Current_Row();
        QCOMPARE(m_popup->type(), int(SetupForm::PopupClearAll));
        m_popup->popupClicked();
        QCOMPARE(reset.count(), 0);
        QCOMPARE(m_popup->type(), -1);

        m_form->click_Current_Row();
        m_popup->updateData(true);
        m_popup->popupClicked();
        QCOMPARE(reset.count(), 1);
        QVERIFY(m_popup->isBusy());
        QCOMPARE(m_popup->text(), QStringLiteral("正在恢复原厂设置\n请等待．．．"));
        QVERIFY(m_popup->choices().isEmpty());
    }

    // Tavelo on searches; the cascaded rows come with an active cascade;
    // off closes the cascade.
    void taveloSearchAndRows()
    {
        QSignalSpy search(m_form, &SetupForm::checkDSPModel);
        QSignalSpy close(m_form, &SetupForm::closeCAS);
        open({SetupForm::GeneralPage, SetupForm::TaveloPage});
        QCOMPARE(m_form->rowCount(), 1);
        edit(SetupForm::EdTavelo, true);
        QCOMPARE(search.count(), 1);
        QCOMPARE(m_popup->type(), int(SetupForm::PopupSearching));

        m_nCasModel = 4;
        m_nCurSystem.set(43, 1);
        m_form->cascadeSearchOver(true);
        QCOMPARE(m_popup->type(), -1);
        QCOMPARE(m_form->rowCount(), 5); // switch, gain, source, mixer, subwoofer level
        QCOMPARE(valueOf(SetupForm::EdTavelo), QStringLiteral("开"));
        const int gain = m_nCasSystem.u16(8);
        edit(SetupForm::EdCasGain, true);
        QVERIFY(m_nCasSystem.u16(8) != gain);
        // A report of the old gain right after the edit does not undo it.
        const int edited = m_nCasSystem.u16(8);
        m_form->Update_LampMainGain(gain);
        QCOMPARE(int(m_nCasSystem.u16(8)), edited);

        edit(SetupForm::EdTavelo, false);
        QCOMPARE(m_nCurSystem.at(43), quint8(0));
        QCOMPARE(close.count(), 1);
        QCOMPARE(close.at(0).at(0).toBool(), false);
        QCOMPARE(m_form->rowCount(), 1);
    }

    // The car types on the cascaded unit's page: each loads its own stored
    // preset of the unit and is marked current; a unit without presets has
    // none, and the mark goes with the unit.
    void carTypePresets_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("listed");
        QTest::newRow("model 0") << 0 << true;
        QTest::newRow("model 1 (16 presets)") << 1 << true;
        QTest::newRow("model 9") << 9 << true;
        QTest::newRow("model 4: no presets") << 4 << false;
    }
    void carTypePresets()
    {
        QFETCH(int, model);
        QFETCH(bool, listed);
        QSignalSpy read(m_form, &SetupForm::readCASPreset);
        m_nCasModel = model;
        m_nCurSystem.set(43, 1);
        open({SetupForm::GeneralPage, SetupForm::TaveloPage});
        QList<int> rows;
        for (int i = 0; i < m_form->rowCount(); ++i) {
            if (m_form->rowCode(i) == SetupForm::ActCasPreset)
                rows << i;
        }
        if (!listed) {
            QVERIFY(rows.isEmpty());
            return;
        }
        QCOMPARE(rows.size(), int(SetupForm::CarTypes));
        QCOMPARE(m_form->rowText(rows.first()), QStringLiteral("小型两厢"));
        QCOMPARE(m_form->rowText(rows.last()), QStringLiteral("中大型SUV"));
        // Knob down to the third car type and press it.
        for (int i = 0; i < 20 && m_form->currentRow() != rows[2]; ++i)
            m_form->change_Current_Row(true);
        m_form->click_Current_Row();
        QCOMPARE(read.count(), 1);
        QCOMPARE(read.at(0).at(0).toInt(), 3);
        QCOMPARE(m_form->currentRow(), rows[2]);
        QCOMPARE(m_form->list()->rowInfo(rows[2]).rightText, QStringLiteral("当前"));
        QVERIFY(m_form->list()->rowInfo(rows[0]).rightText.isEmpty());
        // The unit gone: its rows and the mark go too.
        m_form->cascadeSearchOver(false);
        m_nCurSystem.set(43, 0);
        m_form->refreshPage();
        QCOMPARE(m_form->rowCount(), 1);
        m_nCurSystem.set(43, 1);
        m_form->refreshPage();
        QVERIFY(m_form->list()->rowInfo(rows[2]).rightText.isEmpty());
    }

    // A new pull-up strength forgets every learned wheel key.
    void pullUpClearsLearnedKeys()
    {
        for (int b = 48; b <= 53; ++b)
            m_nCurSystem.set(b, quint8(b));
        m_nCurSystem.set(42, 77);
        m_nCurSystem.set(55, 0);
        open({SetupForm::GeneralPage});
        edit(SetupForm::EdPullUp, true);
        QCOMPARE(m_nCurSystem.at(55), quint8(1));
        QCOMPARE(valueOf(SetupForm::EdPullUp), QStringLiteral("强"));
        for (int b : {42, 48, 49, 50, 51, 52, 53})
            QCOMPARE(m_nCurSystem.at(b), quint8(255));
        QCOMPARE(m_nMarker.at(0), quint8(255));
    }

    // Automatic dimming greys the level row; a digital output switched off
    // takes its volume row away.
    void rowsFollowTheirSwitches()
    {
        m_nCurSystem.set(34, 1);
        open({SetupForm::GeneralPage, SetupForm::DimmerPage});
        QVERIFY(m_form->list()->isListDisabled(1));
        edit(SetupForm::EdDimmerCtl, false);
        QCOMPARE(valueOf(SetupForm::EdDimmerCtl), QStringLiteral("手动"));
        QTRY_VERIFY(!m_form->list()->isListDisabled(1));

        m_nCurSystem.set(33, 1);
        open({SetupForm::GeneralPage, SetupForm::SpdifPage});
        QCOMPARE(m_form->rowCount(), 2);
        edit(SetupForm::EdSpdif, false);
        QTRY_COMPARE(m_form->rowCount(), 1);
    }

    // The time correction steps the channel's delay, more for a fast turn,
    // and shows it in the chosen unit.
    void timeCorrection()
    {
        m_nCurSystem.set(39, 9);
        Cur_Delay_Uint = 1000;
        Cur_Delay_Step = 1;
        QSignalSpy unit(m_form, &SetupForm::sig_DelayUint);
        open({SetupForm::SoundPage, SetupForm::TimePage});
        TimeCorrention *t = m_form->timeForm();
        QCOMPARE(m_form->rowCount(), 7);
        QCOMPARE(m_form->rowText(1), QStringLiteral("前左扬声器"));
        m_form->change_Current_Row(true); // F-L
        m_form->click_Current_Row();
        m_form->change_Current_Row(true, 5);
        QCOMPARE(m_nCurProgram.u16(Image::outputSlot(0, 31) + 4), quint16(5));
        m_nCurProgram.setU16(Image::outputSlot(0, 31) + 4, 958);
        m_form->change_Current_Row(true, 5);
        QCOMPARE(m_nCurProgram.u16(Image::outputSlot(0, 31) + 4), quint16(960));
        QCOMPARE(t->rowValue(1), QStringLiteral("10.000毫秒"));
        QVERIFY(!m_form->Prev_Gui_Action()); // leaves editing, stays
        QCOMPARE(m_form->currentPage(), SetupForm::TimePage);
        m_form->change_Current_Row(false); // unit row
        m_form->click_Current_Row();
        m_form->change_Current_Row(true);
        QCOMPARE(Cur_Delay_Uint, 1001);
        QCOMPARE(unit.count(), 1);
        QCOMPARE(t->rowValue(1), QStringLiteral("340.00厘米"));
    }

    // The divider switch: the active mode does nothing; the other one
    // mutes, rewrites the channel map and crossovers and unmutes 3500 ms later.
    void dividerSwitch()
    {
        DividerSwitchForm d;
        QSignalSpy hold(&d, &DividerSwitchForm::delayLampUpdata);
        m_nCurSystem.set(47, 0);
        m_nCurSystem.set(14, 1);
        Init_CH_MapType(false);
        d.reload();
        QCOMPARE(d.choice(), 0);
        d.submit();
        QCOMPARE(hold.count(), 0);
        QVERIFY(d.statusText().isEmpty());
        QCOMPARE(m_nCurSystem.at(14), quint8(1));

        d.change_Current_Row(true);
        d.submit();
        QCOMPARE(hold.count(), 1);
        QCOMPARE(m_nCurSystem.at(47), quint8(1));
        QCOMPARE(m_nCurSystem.at(14), quint8(0));
        QCOMPARE(m_nCurSystem.at(16), quint8(1)); // tweeter left
        QCOMPARE(m_nCurProgram.u16(Image::outputSlot(0, 32)), quint16(5000));
        QCOMPARE(d.statusText(), QStringLiteral("正在切换，请稍后"));
        QTRY_COMPARE_WITH_TIMEOUT(d.statusText(), QStringLiteral("切换成功"), 10000);
        QCOMPARE(m_nCurSystem.at(14), quint8(1));
    }
};

QTEST_MAIN(TstSetupForm)
#include "tst_setupform.moc"
