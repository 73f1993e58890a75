// The small widgets: scrolling label, message box, loading widget, fades,
// list rows and pages, value rows and the popup selector. Driven through
// their public slots; checked through their state, texts and geometry.

#include "ablumpiclabel.h"
#include "animationpack.h"
#include "custommessage.h"
#include "eqlabel.h"
#include "globals.h"
#include "linkglobals.h"
#include "listrowwidget.h"
#include "listselectdata.h"
#include "listviewwidget.h"
#include "loading.h"
#include "mlabel.h"
#include "popupselect.h"
#include "textopacity.h"
#include "uiassets.h"
#include "viewframelist.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

class TstWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void mlabelFit_data();
    void mlabelFit();
    void mlabelScrollPace();
    void mlabelWrapsAfterTextAndSpace();
    void mlabelRollOnce();
    void mlabelHiddenRunsNoTimer();
    void mlabelFontSize_data();
    void mlabelFontSize();

    void messageSameTextDoesNotRestart();
    void messageKindsAndDisplayTimes_data();
    void messageKindsAndDisplayTimes();
    void messageNewReplacesOld();
    void messagePopupGrows();
    void messagePausePicture();

    void loadingAtMax_data();
    void loadingAtMax();
    void loadingWatchdogFails();
    void loadingSpinnerTurnsAndStops();

    void textOpacityFadesOut();
    void albumStandby();

    void rowTextColumn_data();
    void rowTextColumn();
    void listPage();
    void listFocusAndClick();
    void listSelectData();
    void popupSelect();
    void animationPack();
};

void TstWidgets::initTestCase()
{
    UiAssets::registerFonts();
}

namespace {

// A shown label of a fixed width holding a text `extra` px wider than it.
struct LabelFixture {
    QWidget window;
    MLabel *label;
    explicit LabelFixture(const QString &text, int extra)
    {
        label = new MLabel(&window);
        label->setFontSize(22);
        label->setText(text);
        label->setGeometry(0, 0, label->textWidth() - extra, 40);
        window.resize(600, 60);
        window.show();
    }
};

const QString kLong = QStringLiteral("A title long enough to scroll across the label");

} // namespace

void TstWidgets::mlabelFit_data()
{
    QTest::addColumn<int>("widthMinusText");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("exact fit") << 0 << false;
    QTest::newRow("one pixel spare") << 1 << false;
    QTest::newRow("one pixel short") << -1 << true;
    QTest::newRow("far too narrow") << -200 << true;
}

void TstWidgets::mlabelFit()
{
    QFETCH(int, widthMinusText);
    QFETCH(bool, scrolls);
    LabelFixture f(kLong, -widthMinusText);
    QCOMPARE(f.label->needsScroll(), scrolls);
    QCOMPARE(f.label->timerActive(), scrolls);
    if (scrolls)
        QTRY_VERIFY_WITH_TIMEOUT(f.label->scrollOffset() > 0, 5000);
    else
        QCOMPARE(f.label->scrollOffset(), 0);
}

void TstWidgets::mlabelScrollPace()
{
    LabelFixture f(kLong, 100);
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(f.label->scrollOffset() > 0, 5000);
    // Coarse timers may fire up to 5 % early; never much before 1000 ms.
    QVERIFY2(clock.elapsed() >= 940, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(f.label->scrollOffset(), MLabel::StepPx);
    clock.restart();
    // Every step is 5 px, one step per 75 ms at most.
    int last = f.label->scrollOffset();
    while (f.label->scrollOffset() < 10 * MLabel::StepPx) {
        QTRY_VERIFY_WITH_TIMEOUT(f.label->scrollOffset() != last, 2000);
        QCOMPARE(f.label->scrollOffset() % MLabel::StepPx, 0);
        last = f.label->scrollOffset();
    }
    QCOMPARE(last, 10 * MLabel::StepPx);
    QVERIFY2(clock.elapsed() >= 8 * MLabel::StepMs, qPrintable(QString::number(clock.elapsed())));
}

void TstWidgets::mlabelWrapsAfterTextAndSpace()
{
    LabelFixture f(QStringLiteral("Wrap me around"), 20);
    const int restartAt = f.label->textWidth() + f.label->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    int highest = 0;
    // Watch the offset climb and fall back to 0.
    QTRY_VERIFY_WITH_TIMEOUT((highest = std::max(highest, f.label->scrollOffset()), highest > 0), 5000);
    QTRY_VERIFY_WITH_TIMEOUT((highest = std::max(highest, f.label->scrollOffset()),
                              f.label->scrollOffset() == 0 && highest > f.label->textWidth() - MLabel::StepPx),
                             20000);
    QVERIFY(highest <= restartAt);
    QVERIFY(highest > restartAt - 2 * MLabel::StepPx);
    QVERIFY(f.label->isScrolling());
}

void TstWidgets::mlabelRollOnce()
{
    LabelFixture f(QStringLiteral("Roll once then rest"), 10);
    f.label->setRollOnce(true);
    QSignalSpy over(f.label, &MLabel::rollonceOver);
    QVERIFY(over.wait(20000));
    QCOMPARE(over.count(), 1);
    QCOMPARE(f.label->scrollOffset(), 0);
    QVERIFY(!f.label->timerActive());
}

void TstWidgets::mlabelHiddenRunsNoTimer()
{
    LabelFixture f(kLong, 100);
    QVERIFY(f.label->timerActive());
    f.label->hide();
    QVERIFY(!f.label->timerActive());
    f.label->setText(kLong + QStringLiteral(" and more"));
    QVERIFY(!f.label->timerActive());
    f.window.hide();
    f.label->show(); // still not visible: its window is hidden
    QVERIFY(!f.label->timerActive());
    f.window.show();
    QVERIFY(f.label->timerActive());
    f.label->setText(QStringLiteral("short"));
    QVERIFY(!f.label->timerActive());
}

void TstWidgets::mlabelFontSize_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("latin") << QStringLiteral("Hello") << 18;
    QTest::newRow("chinese") << QStringLiteral("你好") << 20;
    QTest::newRow("mixed") << QStringLiteral("Song 歌") << 20;
    QTest::newRow("korean") << QStringLiteral("노래") << 18;
}

void TstWidgets::mlabelFontSize()
{
    QFETCH(QString, text);
    QFETCH(int, pixelSize);
    MLabel l;
    l.setFontSize(20);
    l.setText(text);
    QCOMPARE(l.font().pixelSize(), pixelSize);
}

void TstWidgets::messageSameTextDoesNotRestart()
{
    QWidget window;
    window.resize(480, 320);
    auto *m = new CustomMessage(CustomMessage::MessageBox, &window);
    window.show();
    m->setText(QStringLiteral("请插入USB"), 1);
    QTRY_VERIFY(m->opacity() >= 0.4);
    const double during = m->opacity();
    m->setText(QStringLiteral("请插入USB"), 1); // again, halfway through the fade-in
    QVERIFY(m->opacity() >= during);
    QVERIFY(m->isFading());
    QTRY_COMPARE(m->opacity(), 1.0);
    QVERIFY(m->isCloseTimerActive());
    m->setText(QStringLiteral("请插入USB"), 1); // again, fully shown
    QCOMPARE(m->opacity(), 1.0);
    QVERIFY(!m->isFading());
    QVERIFY(m->isCloseTimerActive());
    QCOMPARE(m->text(), QStringLiteral("请插入USB"));
}

void TstWidgets::messageKindsAndDisplayTimes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("displayTime"); // -1: leave the default
    QTest::addColumn<int>("closesAfter"); // 0: stays
    QTest::newRow("kind 6000") << 6000 << -1 << 2000;
    QTest::newRow("kind 3") << 3 << -1 << 500;
    QTest::newRow("kind 3 ignores display time") << 3 << 3000 << 500;
    QTest::newRow("default") << 1 << -1 << 1000;
    QTest::newRow("kind 5000") << 5000 << -1 << 1000;
    QTest::newRow("own display time") << -1 << 1500 << 1500;
    QTest::newRow("display time 0 stays") << 18 << 0 << 0;
}

void TstWidgets::messageKindsAndDisplayTimes()
{
    QFETCH(int, kind);
    QFETCH(int, displayTime);
    QFETCH(int, closesAfter);
    QWidget window;
    window.resize(480, 320);
    auto *m = new CustomMessage(CustomMessage::PopupMessage, &window);
    window.show();
    QSignalSpy closed(m, &CustomMessage::sig_closed);
    m->setText(QStringLiteral("Stored"), kind);
    if (displayTime >= 0)
        m->setDisplayTime(displayTime);
    QCOMPARE(m->kind(), kind);
    QTRY_COMPARE(m->opacity(), 1.0);
    QElapsedTimer shown;
    shown.start();
    if (closesAfter == 0) {
        QVERIFY(!m->isCloseTimerActive());
        QVERIFY(m->isShowing());
        m->closeMessageDlg();
        QVERIFY(closed.wait(5000));
        return;
    }
    QVERIFY(m->isCloseTimerActive());
    QVERIFY(closed.wait(closesAfter + 10000));
    // The fade-out takes five steps after the close timer.
    QVERIFY2(shown.elapsed() >= closesAfter * 95 / 100, qPrintable(QString::number(shown.elapsed())));
    QVERIFY(!m->isVisible());
    QCOMPARE(m->kind(), -1);
    QVERIFY(m->text().isEmpty());
}

void TstWidgets::messageNewReplacesOld()
{
    QWidget window;
    window.resize(480, 320);
    auto *m = new CustomMessage(CustomMessage::MessageBox, &window);
    window.show();
    m->setText(QStringLiteral("设备读取中"), 1);
    QTRY_COMPARE(m->opacity(), 1.0);
    m->setText(QStringLiteral("无歌曲"), 3);
    QCOMPARE(m->text(), QStringLiteral("无歌曲"));
    QCOMPARE(m->kind(), 3);
    QCOMPARE(m->opacity(), 0.0); // fades in anew
    QCOMPARE(m->findChild<QLabel *>(QStringLiteral("messageText"))->text(), QStringLiteral("无歌曲"));
    m->closeMessageDlg();
    QTRY_VERIFY(!m->isVisible());
    QCOMPARE(m->kind(), -1);
}

void TstWidgets::messagePopupGrows()
{
    QWidget window;
    window.resize(480, 320);
    auto *m = new CustomMessage(CustomMessage::PopupMessage, &window);
    m->setGeometry(0, 0, 480, 320);
    window.show();
    m->setText(QStringLiteral("成功"), 19);
    QCOMPARE(m->boxHeight(), CustomMessage::GrowFromHeight);
    QTRY_VERIFY(m->boxHeight() > CustomMessage::GrowFromHeight);
    QTRY_COMPARE(m->boxRect().height(), 280);
    QCOMPARE(m->boxRect().top(), 20);
}

void TstWidgets::messagePausePicture()
{
    QWidget window;
    window.resize(480, 320);
    auto *m = new CustomMessage(CustomMessage::MessageBox, &window);
    window.show();
    const QPixmap paused = UiAssets::pixmap(UiAssets::icon(QStringLiteral("paused")));
    QVERIFY(!paused.isNull());
    m->setPixmap(paused, CustomMessage::KindPause);
    QCOMPARE(m->displayTime(), 0);
    QTRY_COMPARE(m->opacity(), 1.0);
    QVERIFY(!m->isCloseTimerActive());
    QSignalSpy pressed(m, &CustomMessage::sig_pauseClicked);
    QTest::mouseClick(m, Qt::LeftButton, {}, m->rect().center());
    QCOMPARE(pressed.count(), 1);
    // The same picture again changes nothing.
    m->setPixmap(paused, CustomMessage::KindPause);
    QCOMPARE(m->opacity(), 1.0);
}

void TstWidgets::loadingAtMax_data()
{
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("finished");
    QTest::newRow("at max") << 100 << 18 << 100 << true;
    QTest::newRow("past max") << 100 << 19 << 130 << true;
    QTest::newRow("below max") << 100 << 18 << 99 << false;
    QTest::newRow("code -1 emits nothing") << 10 << -1 << 10 << false;
}

void TstWidgets::loadingAtMax()
{
    QFETCH(int, max);
    QFETCH(int, code);
    QFETCH(int, value);
    QFETCH(bool, finished);
    QWidget window;
    auto *l = new Loading(&window);
    window.show();
    QSignalSpy fin(l, &Loading::isFinist);
    QSignalSpy failed(l, &Loading::isFailed);
    l->setMaxRange(max, code);
    QVERIFY(l->isVisible());
    QVERIFY(l->isWatchdogActive());
    l->setPersent(value);
    const bool atMax = value >= max;
    QCOMPARE(l->isVisible(), !atMax);
    QCOMPARE(l->isWatchdogActive(), !atMax);
    QCOMPARE(fin.count(), finished ? 1 : 0);
    if (finished)
        QCOMPARE(fin.first().first().toInt(), code);
    QCOMPARE(failed.count(), 0);
}

void TstWidgets::loadingWatchdogFails()
{
    QWidget window;
    auto *l = new Loading(&window);
    window.show();
    QSignalSpy failed(l, &Loading::isFailed);
    QSignalSpy fin(l, &Loading::isFinist);
    QElapsedTimer clock;
    clock.start();
    l->setLoading(true);
    l->setMaxRange(100, 18);
    QVERIFY(failed.wait(20000));
    QVERIFY2(clock.elapsed() >= 6600, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(fin.count(), 0);
    // A failed job does not leave the keys blocked behind the widget.
    QVERIFY(!l->isVisible());
    QVERIFY(!l->isSpinning());
    // A late report after the failure finishes nothing.
    l->setPersent(100);
    QCOMPARE(fin.count(), 0);
    QVERIFY(!l->isWatchdogActive());
}

void TstWidgets::loadingSpinnerTurnsAndStops()
{
    QWidget window;
    auto *l = new Loading(&window);
    window.show();
    QCOMPARE(l->angle(), 360);
    l->setLoading(true);
    QVERIFY(l->isSpinning());
    QTRY_COMPARE(l->angle(), 330);
    QTRY_COMPARE_WITH_TIMEOUT(l->angle(), 30, 5000);
    QTRY_COMPARE(l->angle(), 360); // below 30 wraps to 360, never 0
    l->setLoading(false);
    QVERIFY(!l->isVisible());
    QVERIFY(!l->isSpinning());
    QCOMPARE(l->angle(), 360);
}

void TstWidgets::textOpacityFadesOut()
{
    TextOpacity logo;
    logo.resize(480, 320);
    logo.setImage(QStringLiteral(":loading/Resource/loading/logo"));
    QVERIFY(!logo.image().isNull());
    logo.show();
    QSignalSpy stopped(&logo, &TextOpacity::opacity_Stop);
    logo.setOpacityOut(true, 50);
    QVERIFY(logo.isFading());
    QVERIFY(stopped.wait(10000));
    QCOMPARE(logo.opacity(), 0.0);
    QVERIFY(!logo.isFading());
    logo.setOpacityOut(false, 10);
    QVERIFY(stopped.wait(10000));
    QCOMPARE(logo.opacity(), 1.0);
}

void TstWidgets::albumStandby()
{
    AblumPicLabel pic;
    pic.resize(150, 150);
    g_CurMusicPlay.albumPicture = QImage();
    pic.updateAblumPic();
    QCOMPARE(pic.standbyName(), QStringLiteral("albumPic"));
    pic.setPaused(true);
    QCOMPARE(pic.standbyName(), QStringLiteral("albumPic_Pause"));
    QImage cover(300, 200, QImage::Format_RGB32);
    cover.fill(Qt::red);
    g_CurMusicPlay.albumPicture = cover;
    pic.updateAblumPic();
    QVERIFY(pic.hasPicture());
    QVERIFY(pic.standbyName().isEmpty());
    g_CurMusicPlay.albumPicture = QImage();
    for (const char *name : {"albumPic", "albumPic_Pause"})
        QVERIFY2(!UiAssets::pixmap(UiAssets::icon(QString::fromLatin1(name))).isNull(), name);
}

void TstWidgets::rowTextColumn_data()
{
    QTest::addColumn<QString>("icon");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("rightText");
    QTest::addColumn<int>("textX");
    QTest::addColumn<bool>("adjuster");
    const QString usb = UiAssets::icon(QStringLiteral("icon_list_usb1"));
    QTest::newRow("icon") << usb << 0 << QString() << 59 << true;
    QTest::newRow("no icon") << QString() << 1 << QString() << 10 << true;
    QTest::newRow("date row") << QString() << 5 << QStringLiteral("2024/05/01") << 10 << false;
    QTest::newRow("size row") << usb << 6 << QStringLiteral("4.2M") << 59 << false;
}

void TstWidgets::rowTextColumn()
{
    QFETCH(QString, icon);
    QFETCH(int, type);
    QFETCH(QString, rightText);
    QFETCH(int, textX);
    QFETCH(bool, adjuster);
    ListInfo info;
    info.iconPath = icon;
    info.title = QStringLiteral("USB 1");
    info.type = type;
    info.rightText = rightText;
    ListRowWidget row(info);
    row.resize(480, ListRowWidget::RowHeight);
    row.show();
    QCOMPARE(row.height(), 54);
    QCOMPARE(row.titleLabel()->x(), textX);
    QCOMPARE(row.titleLabel()->text(), QStringLiteral("USB 1"));
    QCOMPARE(row.iconLabel()->isVisible(), !icon.isEmpty());
    if (!icon.isEmpty()) {
        QCOMPARE(row.iconLabel()->geometry(), QRect(0, 0, 54, 54));
        QVERIFY(!row.iconLabel()->pixmap(Qt::ReturnByValue).isNull());
    }
    QCOMPARE(row.adjusterLabel()->isVisible(), adjuster);
    QCOMPARE(row.rightLabel()->isVisible(), !rightText.isEmpty());
    if (!rightText.isEmpty()) {
        QCOMPARE(row.rightLabel()->text(), rightText);
        QVERIFY(row.rightLabel()->geometry().right() < 480);
        QVERIFY(row.titleLabel()->geometry().right() < row.rightLabel()->x());
    }
}

void TstWidgets::listPage()
{
    ListViewWidget list;
    list.resize(480, 283);
    list.show();
    const QStringList titles{QStringLiteral("Music"), QStringLiteral("歌曲.flac"), QStringLiteral("노래")};
    for (int i = 0; i < titles.size(); ++i) {
        ListInfo row;
        row.title = titles[i];
        row.type = i == 0 ? 0 : 1;
        row.id = 7;
        row.value = i == 0 ? QStringLiteral("/run/media/sda1/Music") : QStringLiteral("flac");
        list.setListData(row);
    }
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.currentRow(), 0);
    QVERIFY(list.isDirListObject(0));
    QVERIFY(!list.isDirListObject(1));
    QCOMPARE(list.get_ListObjectPath(0), QStringLiteral("/run/media/sda1/Music"));
    QCOMPARE(list.get_ListObjectPath(1), QString());
    QCOMPARE(list.get_ListObjectText(2), QStringLiteral("노래"));
    QCOMPARE(list.get_ListObjectID(1), 7);
    QCOMPARE(list.get_ListObjectID(9), -1);
    list.refreshRow(1, QStringLiteral("Renamed"));
    QCOMPARE(list.rowWidget(1)->titleLabel()->text(), QStringLiteral("Renamed"));
    ListInfo replaced;
    replaced.title = QStringLiteral("Replaced");
    replaced.type = 5;
    list.updateListData(&replaced, 2);
    QCOMPARE(list.rowCount(), 3);
    QVERIFY(!list.rowWidget(2)->hasAdjuster());
    // Only the current row's title may scroll.
    QVERIFY(list.rowWidget(0)->titleLabel()->rolling());
    QVERIFY(!list.rowWidget(1)->titleLabel()->rolling());
    list.refreshList();
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.get_ListObjectText(1), QStringLiteral("Renamed"));
    QVERIFY(list.rowWidget(0)->isCurrent());
}

void TstWidgets::listFocusAndClick()
{
    ListViewWidget list;
    list.resize(480, 283);
    list.show();
    for (int i = 0; i < 8; ++i) {
        ListInfo row;
        row.title = QStringLiteral("Row %1").arg(i);
        list.setListData(row);
    }
    QTRY_COMPARE(list.focusFrame()->geometry(), list.visualItemRect(list.item(0)).adjusted(2, 1, -2, -1));
    list.setListDisabled(1, true);
    QCOMPARE(list.moveSelectRow(true), 2); // the disabled row is skipped
    QVERIFY(list.isHighlightMoving());
    QTRY_VERIFY_WITH_TIMEOUT(!list.isHighlightMoving(), 3000);
    QCOMPARE(list.focusFrame()->geometry(), list.visualItemRect(list.item(2)).adjusted(2, 1, -2, -1));
    QCOMPARE(list.moveSelectRow(false), 0);
    list.setSelectRow(7);
    QTRY_VERIFY_WITH_TIMEOUT(!list.isHighlightMoving(), 3000);
    QVERIFY(list.viewport()->rect().contains(list.focusFrame()->geometry()));
    QCOMPARE(list.moveSelectRow(true), 7); // held at the end

    list.setViewListClicked();
    QVERIFY(list.isClickHighlighted());
    QVERIFY(list.focusFrame()->isPressed());
    QTRY_VERIFY_WITH_TIMEOUT(!list.focusFrame()->isPressed(), 3000);
    QVERIFY(list.isClickHighlighted()); // the highlight outlasts the pressed frame
    QTRY_VERIFY_WITH_TIMEOUT(!list.isClickHighlighted(), 3000);

    list.setViewShortFocus();
    QCOMPARE(list.focusFrame()->state(), ViewFrameList::ShortFocus);
    QVERIFY(list.focusFrame()->isVisible());
    list.setViewNoneFocus();
    QVERIFY(!list.focusFrame()->isVisible());
    list.setViewFocus();
    QVERIFY(list.focusFrame()->isVisible());
}

void TstWidgets::listSelectData()
{
    ListSelectData row;
    row.resize(ListSelectData::Width, 54);
    row.show();
    ListInfo info;
    info.type = 42;
    info.id = 14;
    row.valueLabel()->setRange(0, 15, 1);
    row.initDataType(&info);
    QCOMPARE(row.valueLabel()->dataType(), 42);
    QCOMPARE(row.valueLabel()->value(), 14);
    QCOMPARE(row.valueLabel()->geometry().left(), 35);
    QCOMPARE(row.valueLabel()->geometry().right(), 144);
    QCOMPARE(row.leftArrow()->geometry().left(), 10);
    QCOMPARE(row.leftArrow()->geometry().right(), 27);
    QCOMPARE(row.rightArrow()->geometry().left(), 152);
    QCOMPARE(row.rightArrow()->geometry().right(), 169);
    // Centred: as much room above the arrows as below.
    QCOMPARE(row.leftArrow()->geometry().top(), 54 - 1 - row.leftArrow()->geometry().bottom());
    QCOMPARE(row.rightArrow()->geometry().top(), row.leftArrow()->geometry().top());

    QSignalSpy changed(&row, &ListSelectData::valueChanged);
    row.dataChanged(true);
    QCOMPARE(row.valueLabel()->value(), 15);
    QCOMPARE(row.valueLabel()->text(), QStringLiteral("15"));
    QVERIFY(row.isRightLit());
    QVERIFY(!row.isLeftLit());
    row.dataChanged(true); // held at the top: lit, but no change
    QCOMPARE(row.valueLabel()->value(), 15);
    QCOMPARE(changed.count(), 1);
    row.dataChanged(false);
    QVERIFY(row.isLeftLit());
    QVERIFY(!row.isRightLit());
    QTRY_VERIFY_WITH_TIMEOUT(!row.isLeftLit(), 3000);

    row.setListSelected(true);
    QVERIFY(g_CurMusicPlay.listSelected.get());
    QVERIFY(g_CurMusicPlay.listSelectedAux.get());
    row.setListSelected(false);
    QVERIFY(!g_CurMusicPlay.listSelected.get());
    QVERIFY(!g_CurMusicPlay.listSelectedAux.get());
}

void TstWidgets::popupSelect()
{
    QWidget window;
    window.resize(480, 320);
    auto *popup = new PopupSelect(&window);
    window.show();
    QCOMPARE(popup->type(), -1);
    QVERIFY(!popup->isVisible());
    popup->setType(11, QStringLiteral("确定切换系统采样率192kHz? \n系统将会重启"));
    QVERIFY(popup->isVisible());
    QVERIFY(g_TempData.popupOpen.get());
    popup->setChoices({QStringLiteral("No"), QStringLiteral("Yes")});
    popup->updateData(true);
    QCOMPARE(popup->currentChoice(), 1);
    QVERIFY(popup->isRightLit());
    popup->updateData(true); // held at the last choice
    QCOMPARE(popup->currentChoice(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!popup->isRightLit(), 3000);

    m_nCurSystem.set(SysByte::SampleRate, 9);
    g_TempData.popupType = 11;
    QSignalSpy confirmed(popup, &PopupSelect::sig_Confirmed);
    QSignalSpy wheel(popup, &PopupSelect::sig_WheelChanged);
    QElapsedTimer clock;
    clock.start();
    popup->popupClicked();
    QCOMPARE(confirmed.count(), 1);
    QCOMPARE(confirmed.first().at(0).toInt(), 11);
    QCOMPARE(confirmed.first().at(1).toInt(), 1);
    popup->popupClicked(); // a second press confirms nothing more
    QCOMPARE(confirmed.count(), 1);
    QVERIFY(wheel.wait(10000));
    QVERIFY2(clock.elapsed() >= 1850, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(popup->type(), -1);
    QVERIFY(!popup->isVisible());
    QVERIFY(!g_TempData.popupOpen.get());
    QCOMPARE(int(m_nCurSystem.at(SysByte::SampleRate)), 9); // not yet: 3000 ms after the confirmation
    QTRY_COMPARE_WITH_TIMEOUT(int(m_nCurSystem.at(SysByte::SampleRate)), 11, 5000);
    QCOMPARE(g_TempData.popupType.get(), 0);
    QVERIFY(clock.elapsed() >= 2800); // a coarse timer may fire 5 % early

    popup->setType(100, QStringLiteral("搜寻中..."));
    popup->setBusy(true);
    QVERIFY(popup->isBusy());
    popup->hide();
    QCOMPARE(popup->type(), -1);
    QVERIFY(!popup->isBusy());
    QVERIFY(!g_TempData.popupOpen.get());
}

void TstWidgets::animationPack()
{
    QWidget window;
    window.resize(480, 320);
    auto *a = new QWidget(&window);
    auto *b = new QWidget(&window);
    a->setGeometry(0, 35, 480, 283);
    b->setGeometry(0, 35, 480, 283);
    b->hide();
    window.show();
    AnimationPack pack;
    QVERIFY(!pack.isRunning());

    QSignalSpy finished(&pack, &AnimationPack::animatFinish);
    QSignalSpy freed(&pack, &AnimationPack::freeWidgetID);
    pack.setWidgetMove(a, b, true, 12);
    QVERIFY(pack.isRunning());
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(freed.count(), 1);
    QCOMPARE(freed.first().first().toInt(), 12);
    QVERIFY(!a->isVisible());
    QVERIFY(b->isVisible());
    QCOMPARE(b->pos(), QPoint(0, 35));

    QSignalSpy hidden(&pack, &AnimationPack::animatOpacityHide);
    pack.setAnimationOpacity(b, false);
    QVERIFY(hidden.wait(5000));
    QVERIFY(!b->isVisible());

    QSignalSpy line(&pack, &AnimationPack::animationLineOver);
    QElapsedTimer clock;
    clock.start();
    pack.startTimeLine(7);
    QVERIFY(line.wait(5000));
    QCOMPARE(line.first().first().toInt(), 7);
    QVERIFY(clock.elapsed() >= 380);

    QSignalSpy group(&pack, &AnimationPack::animatGroupFinish);
    pack.Animation_OM_Group(a, QPoint(0, 80), QPoint(0, 35), 200);
    QVERIFY(group.wait(5000));
    QCOMPARE(a->pos(), QPoint(0, 35));
    QVERIFY(a->isVisible());
    QTRY_VERIFY(!pack.isRunning());
}

QTEST_MAIN(TstWidgets)
#include "tst_widgets.moc"
