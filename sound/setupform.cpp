#include "setupform.h"

#include "eqlabel.h"
#include "factoryeqform.h"
#include "globals.h"
#include "linkglobals.h"
#include "linktext.h"
#include "listrowwidget.h"
#include "listselectdata.h"
#include "listviewwidget.h"
#include "popupselect.h"
#include "soundfunctions.h"
#include "soundrules.h"
#include "soundtables.h"
#include "timecorrention.h"

#include <QTimer>

namespace {

// System record bytes edited here that have no name elsewhere.
constexpr int kAmpByte = 32; // built-in amplifier switch
constexpr int kPresetByte = 24;
constexpr int kCascadeByte = 43;
constexpr int kDividerByte = 47; // 1: three-way
constexpr int kPullUpByte = 55;  // steering-wheel pull-up: 0 weak, 1 strong
constexpr int kRateCodes[2] = {9, 11};

using Row = SetupForm::Row;

const char *const kCarTypeNames[SetupForm::CarTypes] = {
    QT_TRANSLATE_NOOP("SetupForm", "小型两厢"), QT_TRANSLATE_NOOP("SetupForm", "小型三厢"),
    QT_TRANSLATE_NOOP("SetupForm", "中型三厢"), QT_TRANSLATE_NOOP("SetupForm", "大型三厢"),
    QT_TRANSLATE_NOOP("SetupForm", "小型SUV"),  QT_TRANSLATE_NOOP("SetupForm", "中大型SUV"),
};

// Row helpers: a menu row, a value row, an action row.
Row menu(const char *text, SetupForm::Page page, int arg = 0)
{
    return {text, SetupForm::OpenPage, arg, page};
}

Row value(const char *text, SetupForm::Code code, int arg = 0)
{
    return {text, code, arg, SetupForm::MainPage};
}

bool isValueCode(SetupForm::Code c)
{
    return c >= SetupForm::EdTreble && c <= SetupForm::EdPullUp;
}

bool isTwoStateCode(SetupForm::Code c)
{
    switch (c) {
    case SetupForm::EdSubOn:
    case SetupForm::EdArtwork:
    case SetupForm::EdSpdif:
    case SetupForm::EdBlackout:
    case SetupForm::EdAmp:
    case SetupForm::EdTavelo:
        return true;
    default:
        return false;
    }
}

// The plain value rules of the sound model behind a row.
bool plainEdit(SetupForm::Code c, SoundEdit *edit)
{
    static const struct {
        SetupForm::Code code;
        SoundEdit edit;
    } map[] = {
        {SetupForm::EdTreble, SoundEdit::Treble},
        {SetupForm::EdBass, SoundEdit::Bass},
        {SetupForm::EdSubOn, SoundEdit::SubOn},
        {SetupForm::EdSubPhase, SoundEdit::SubPhase},
        {SetupForm::EdSubLevel, SoundEdit::SubLevel},
        {SetupForm::EdBalance, SoundEdit::Balance},
        {SetupForm::EdFader, SoundEdit::Fader},
        {SetupForm::EdVolUsb, SoundEdit::VolumeUsb},
        {SetupForm::EdVolBt, SoundEdit::VolumeBt},
        {SetupForm::EdVolHiLevel, SoundEdit::VolumeHiLevel},
        {SetupForm::EdVolAux, SoundEdit::VolumeAux},
        {SetupForm::EdVolUsbAudio, SoundEdit::VolumeUsbAudio},
        {SetupForm::EdOutputVolume, SoundEdit::OutputVolume},
        {SetupForm::EdSpdif, SoundEdit::SpdifSwitch},
        {SetupForm::EdDimmerCtl, SoundEdit::DimmerControl},
        {SetupForm::EdDimmerLevel, SoundEdit::DimmerLevel},
        {SetupForm::EdBlackout, SoundEdit::Blackout},
        {SetupForm::EdAmp, SoundEdit::Switch32},
    };
    for (const auto &m : map) {
        if (m.code == c) {
            *edit = m.edit;
            return true;
        }
    }
    return false;
}

bool editsSystemRecord(SetupForm::Code c)
{
    return (c >= SetupForm::EdVolUsb && c <= SetupForm::EdOutputVolume) || c == SetupForm::EdMainAtten
           || c == SetupForm::EdMixSource || (c >= SetupForm::EdSpdif && c <= SetupForm::EdAmp);
}

bool threeWay()
{
    return m_nCurSystem.at(kDividerByte) == 1;
}

QString hertz(int f)
{
    return QString::number(f) + QStringLiteral("Hz");
}

// Built-in names ("USB", "AUX", "USB Audio") are not translated.
bool isBuiltInName(const char *text)
{
    for (const char *p = text; *p; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

SetupForm::SetupForm(PopupSelect *popup, QWidget *parent)
    : QWidget(parent)
    , m_popup(popup)
    , m_list(new ListViewWidget(this))
    , m_presetForm(new FactoryEQForm(this))
    , m_timeForm(new TimeCorrention(this))
    , m_cascadeEditTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("setupForm"));
    resize(Width, Height);
    m_list->setGeometry(rect());
    m_presetForm->setGeometry(rect());
    m_timeForm->setGeometry(rect());
    m_presetForm->hide();
    m_timeForm->hide();
    m_cascadeEditTimer->setSingleShot(true);
    m_cascadeEditTimer->setInterval(CascadeEditMs);
    connect(m_presetForm, &FactoryEQForm::readPreset, this, &SetupForm::ReadPreset_Func);
    connect(m_presetForm, &FactoryEQForm::saveUserPreset, this, &SetupForm::saveDefaultUserPreset);
    connect(m_timeForm, &TimeCorrention::sig_DelayUint, this, &SetupForm::sig_DelayUint);
    if (m_popup)
        connect(m_popup, &PopupSelect::sig_Confirmed, this, &SetupForm::popupConfirmed);
    m_stack.append({MainPage, 0, 0, nullptr});
    rebuild(0);
}

SetupForm::~SetupForm() = default;

// ------------------------------------------------------------ pages

QVector<SetupForm::Row> SetupForm::pageRows() const
{
    const Level &level = m_stack.last();
    QVector<Row> rows;
    switch (level.page) {
    case MainPage:
        rows = {menu(QT_TR_NOOP("音效设置"), SoundPage), menu(QT_TR_NOOP("预设均衡器"), PresetPage),
                value(QT_TR_NOOP("音效清除设置"), ActDefeat), menu(QT_TR_NOOP("蓝牙"), BluetoothPage),
                menu(QT_TR_NOOP("通用"), GeneralPage)};
        break;
    case SoundPage:
        rows = {value(QT_TR_NOOP("高音"), EdTreble),
                value(QT_TR_NOOP("低音"), EdBass),
                menu(QT_TR_NOOP("重低音 "), SubwooferPage),
                menu(QT_TR_NOOP("参数均衡器"), PeqBandsPage),
                value(QT_TR_NOOP("左右平衡"), EdBalance),
                value(QT_TR_NOOP("前后平衡"), EdFader),
                menu(QT_TR_NOOP("输入音源音量"), InputVolumePage),
                menu(QT_TR_NOOP("时间校正"), TimePage),
                menu(QT_TR_NOOP("分频器设置"), XOverPage),
                menu(QT_TR_NOOP("声音设置存储"), MemoryPage)};
        break;
    case SubwooferPage:
        rows = {value(QT_TR_NOOP("重低音"), EdSubOn), value(QT_TR_NOOP("重低音相位"), EdSubPhase),
                value(QT_TR_NOOP("重低音级别"), EdSubLevel)};
        break;
    case PeqBandsPage:
        for (int band = 0; band < 10; ++band)
            rows.append(menu(QT_TR_NOOP("波段"), PeqBandPage, band));
        break;
    case PeqBandPage:
        rows = {value(QT_TR_NOOP("频率"), EdEqFreq, level.arg), value(QT_TR_NOOP("Q值"), EdEqQ, level.arg),
                value(QT_TR_NOOP("增益"), EdEqGain, level.arg)};
        break;
    case InputVolumePage:
        rows = {value("USB", EdVolUsb), value(QT_TR_NOOP("蓝牙音乐"), EdVolBt),
                value(QT_TR_NOOP("高电平"), EdVolHiLevel), value("AUX", EdVolAux), value("USB Audio", EdVolUsbAudio)};
        break;
    case XOverPage:
        if (threeWay()) {
            rows = {menu(QT_TR_NOOP("高音 "), XOverEdgePage, int(CrossoverRow::High)),
                    menu(QT_TR_NOOP("中音高通"), XOverEdgePage, int(CrossoverRow::MidHigh)),
                    menu(QT_TR_NOOP("中音低通"), XOverEdgePage, int(CrossoverRow::MidLow)),
                    menu(QT_TR_NOOP("低音 "), XOverEdgePage, int(CrossoverRow::Low))};
        } else {
            rows = {menu(QT_TR_NOOP("前置扬声器"), XOverEdgePage, int(CrossoverRow::FrontHigh)),
                    menu(QT_TR_NOOP("后置扬声器"), XOverEdgePage, int(CrossoverRow::RearHigh)),
                    menu(QT_TR_NOOP("重低音扬声器"), XOverEdgePage, int(CrossoverRow::SubLow))};
        }
        break;
    case XOverEdgePage:
        rows = {value(QT_TR_NOOP("频率"), EdXFreq, level.arg), value(QT_TR_NOOP("斜率"), EdXSlope, level.arg)};
        break;
    case MemoryPage:
        rows = {menu(QT_TR_NOOP("经销商设置"), MemorySlotPage, 11), menu(QT_TR_NOOP("自定义设置"), MemorySlotPage, 12)};
        break;
    case MemorySlotPage:
        rows = {value(QT_TR_NOOP("保存"), ActSaveMemory, level.arg),
                value(QT_TR_NOOP("读取"), ActRecallMemory, level.arg)};
        break;
    case GeneralPage:
        rows = {menu(QT_TR_NOOP("辅助音源"), MixPage),          value(QT_TR_NOOP("语言设置"), EdLanguage),
                value(QT_TR_NOOP("艺术显示"), EdArtwork),       menu(QT_TR_NOOP("调光器控制"), DimmerPage),
                menu(QT_TR_NOOP("Tavelo系统匹配"), TaveloPage), value(QT_TR_NOOP("方控学习"), ActWheelLearning),
                value(QT_TR_NOOP("上拉强度"), EdPullUp),        value(QT_TR_NOOP("内置功放"), EdAmp),
                menu(QT_TR_NOOP("同轴/光纤"), SpdifPage),       value(QT_TR_NOOP("系统采样率"), EdSampleRate),
                value(QT_TR_NOOP("恢复出厂设置"), ActClearAll), value(QT_TR_NOOP("关于"), ActAbout)};
        break;
    case MixPage:
        rows = {value(QT_TR_NOOP("主音源衰减量"), EdMainAtten), value(QT_TR_NOOP("辅助音源选择"), EdMixSource)};
        break;
    case DimmerPage:
        rows = {value(QT_TR_NOOP("调光器控制"), EdDimmerCtl), value(QT_TR_NOOP("调光级别"), EdDimmerLevel),
                value(QT_TR_NOOP("黑屏设置"), EdBlackout)};
        break;
    case SpdifPage:
        rows = {value(QT_TR_NOOP("同轴/光纤开关"), EdSpdif)};
        // The output volume only matters while the digital output is on.
        if (m_nCurSystem.at(33) != 0)
            rows.append(value(QT_TR_NOOP("输出音量"), EdOutputVolume));
        break;
    case TaveloPage:
        rows = {value(QT_TR_NOOP("Tavelo系统匹配"), EdTavelo)};
        if (m_nCurSystem.at(kCascadeByte) != 0 && m_nCasModel >= 0) {
            const int model = m_nCasModel;
            rows.append(value(QT_TR_NOOP("主音量"), EdCasGain));
            if (model != 7)
                rows.append(value(QT_TR_NOOP("输入音源"), EdCasSource));
            if (model == 3 || model == 4 || model == 5 || model == 6 || model == 8 || model == 9 || model == 10
                || model == 11 || model == 12)
                rows.append(value(QT_TR_NOOP("混音音源"), EdCasMixer));
            if (Is_Sub_Model() || model == 3)
                rows.append(value(QT_TR_NOOP("重低音级别"), EdCasSubLevel));
            // Model 4 keeps no presets.
            if (model != 4 && model <= 12) {
                for (int t = 0; t < CarTypes; ++t)
                    rows.append(value(kCarTypeNames[t], ActCasPreset, t));
            }
        }
        break;
    case BluetoothPage:
        rows = {value(QT_TR_NOOP("蓝牙音乐"), EdVolBt), value(QT_TR_NOOP("连接状态"), ShowBtState)};
        break;
    case PresetPage:
    case TimePage:
        break;
    }
    return rows;
}

QString SetupForm::pageTitle(const Level &level) const
{
    if (level.page == MainPage || !level.text)
        return tr("设置");
    if (level.page == PeqBandPage)
        return tr("波段") + QLatin1Char(' ') + QString::number(level.arg + 1);
    return isBuiltInName(level.text) ? QString::fromLatin1(level.text) : tr(level.text).trimmed();
}

QString SetupForm::currentTitle() const
{
    return pageTitle(m_stack.last());
}

SetupForm::Page SetupForm::currentPage() const
{
    return m_stack.last().page;
}

int SetupForm::currentPageArg() const
{
    return m_stack.last().arg;
}

void SetupForm::pushPage(Page page, int arg, const char *text)
{
    setEditing(false);
    m_stack.last().row = qMax(0, m_list->currentRow());
    m_stack.append({page, arg, 0, text});
    rebuild(0);
    emit setWindowTitle(currentTitle());
}

void SetupForm::showPage(Page page, int arg)
{
    if (page == MainPage) {
        resetToMain();
        return;
    }
    // Named after the row that opens it on its parent page.
    const char *text = nullptr;
    for (const Row &r : pageRows()) {
        if (r.code == OpenPage && r.page == page && r.arg == arg)
            text = r.text;
    }
    pushPage(page, arg, text);
}

void SetupForm::rebuild(int keepRow)
{
    const Level &level = m_stack.last();
    m_presetForm->setVisible(level.page == PresetPage);
    m_timeForm->setVisible(level.page == TimePage);
    m_list->setVisible(level.page != PresetPage && level.page != TimePage);
    if (level.page == PresetPage) {
        m_presetForm->reload();
        return;
    }
    if (level.page == TimePage) {
        m_timeForm->reload();
        return;
    }
    m_rows = pageRows();
    m_list->clear();
    m_values.clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row &r = m_rows[i];
        ListInfo info;
        info.title = isBuiltInName(r.text) ? QString::fromLatin1(r.text) : tr(r.text).trimmed();
        if (level.page == PeqBandsPage)
            info.title += QLatin1Char(' ') + QString::number(r.arg + 1);
        info.id = i;
        info.type = r.code == OpenPage ? 0 : 5;
        if (r.code == OpenPage && r.page == XOverEdgePage)
            info.rightText = hertz(crossoverFrequency(CrossoverRow(r.arg)));
        if (r.code == OpenPage && r.page == PeqBandPage)
            info.rightText = hertz(m_nCurProgram.u16(Image::inputSlot(0, r.arg)));
        // A state row shows its value as plain text: nothing to turn.
        if (r.code == ShowBtState)
            info.rightText = valueText(r);
        if (r.code == ActCasPreset && r.arg == m_carType)
            info.rightText = tr("当前");
        // The About and learning rows open a screen.
        if (r.code == ActAbout || r.code == ActWheelLearning)
            info.type = 0;
        m_list->setListData(info);
        ListSelectData *sel = nullptr;
        if (isValueCode(r.code)) {
            sel = new ListSelectData;
            sel->initDataType(&info);
            m_list->rowWidget(i)->setValueWidget(sel);
        }
        m_values.append(sel);
    }
    // The dimmer level follows the car's lights while the dimmer is automatic.
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].code == EdDimmerLevel)
            m_list->setListDisabled(i, m_nCurSystem.at(SysByte::DimmerAuto) == 1);
    }
    refreshValues();
    int row = qBound(0, keepRow, qMax(0, int(m_rows.size()) - 1));
    if (m_list->isListDisabled(row))
        row = 0;
    m_list->setSelectRow(row);
}

void SetupForm::refreshValues()
{
    for (int i = 0; i < m_rows.size() && i < m_values.size(); ++i) {
        if (ListSelectData *sel = m_values[i])
            sel->valueLabel()->setValueText(valueText(m_rows[i]));
    }
}

void SetupForm::refreshPage()
{
    if (currentPage() == PresetPage || currentPage() == TimePage) {
        rebuild(0);
        return;
    }
    const bool editing = m_editing;
    const int row = qMax(0, m_list->currentRow());
    rebuild(row);
    if (editing && row < m_rows.size() && isValueCode(m_rows[row].code))
        setEditing(true);
}

void SetupForm::retranslate()
{
    refreshPage();
    emit setWindowTitle(currentTitle());
}

void SetupForm::resetToMain()
{
    setEditing(false);
    m_timeForm->leaveEditing();
    m_stack.clear();
    m_stack.append({MainPage, 0, 0, nullptr});
    rebuild(0);
}

void SetupForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit setWindowTitle(currentTitle());
}

// ------------------------------------------------------------ rows

int SetupForm::currentRow() const
{
    if (currentPage() == PresetPage)
        return m_presetForm->currentRow();
    if (currentPage() == TimePage)
        return m_timeForm->currentRow();
    return m_list->currentRow();
}

int SetupForm::rowCount() const
{
    if (currentPage() == PresetPage)
        return m_presetForm->list()->rowCount();
    if (currentPage() == TimePage)
        return m_timeForm->list()->rowCount();
    return int(m_rows.size());
}

SetupForm::Code SetupForm::rowCode(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].code : OpenPage;
}

QString SetupForm::rowText(int row) const
{
    if (currentPage() == PresetPage)
        return m_presetForm->list()->get_ListObjectText(row);
    if (currentPage() == TimePage)
        return m_timeForm->list()->get_ListObjectText(row);
    return m_list->get_ListObjectText(row);
}

QString SetupForm::rowValue(int row) const
{
    if (currentPage() == TimePage)
        return m_timeForm->rowValue(row);
    ListSelectData *sel = m_values.value(row);
    return sel ? sel->valueLabel()->text() : m_list->rowInfo(row).rightText;
}

bool SetupForm::selectRowByCode(Code code)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].code == code) {
            setEditing(false);
            m_list->setSelectRow(i);
            return true;
        }
    }
    return false;
}

void SetupForm::setEditing(bool on)
{
    const int row = m_list->currentRow();
    if (on && m_rows.value(row).code == EdSampleRate)
        m_rateChoice = m_nCurSystem.at(SysByte::SampleRate) == 11 ? 1 : 0;
    if (!on)
        m_rateChoice = -1;
    m_editing = on;
    for (int i = 0; i < m_values.size(); ++i) {
        if (m_values[i])
            m_values[i]->setListSelected(on && i == row);
    }
    if (!on) {
        g_CurMusicPlay.listSelected = false;
        g_CurMusicPlay.listSelectedAux = false;
    }
    refreshValues();
}

QString SetupForm::languageName(int id)
{
    switch (id) {
    case 1:
        return QStringLiteral("English");
    case 2:
        return QStringLiteral("한국어");
    default:
        return QStringLiteral("中文");
    }
}

int SetupForm::sampleRateCode(int index) const
{
    return kRateCodes[qBound(0, index, 1)];
}

QString SetupForm::valueText(const Row &row) const
{
    auto onOff = [](bool on) { return on ? tr("开") : tr("关"); };
    SoundEdit edit = SoundEdit::Treble;
    switch (row.code) {
    case EdSubOn:
    case EdSpdif:
    case EdBlackout:
    case EdAmp:
        plainEdit(row.code, &edit);
        return onOff(soundEditValue(edit) != 0);
    case EdArtwork:
        return onOff(g_CurMusicPlay.isSubPage);
    case EdTavelo:
        return onOff(m_nCurSystem.at(kCascadeByte) != 0);
    case EdDimmerCtl:
        return m_nCurSystem.at(SysByte::DimmerAuto) == 1 ? tr("自动") : tr("手动");
    case EdEqFreq:
        return hertz(m_nCurProgram.u16(Image::inputSlot(0, row.arg)));
    case EdEqQ:
        return eqQText(m_nCurProgram.u16(Image::inputSlot(0, row.arg) + 4));
    case EdEqGain:
        return eqGainText(m_nCurProgram.u16(Image::inputSlot(0, row.arg) + 2));
    case EdXFreq:
        return hertz(crossoverFrequency(CrossoverRow(row.arg)));
    case EdXSlope:
        return slopeLabel(crossoverSlope(CrossoverRow(row.arg)));
    case EdMainAtten:
        return QString::number(m_nCurSystem.at(13));
    case EdMixSource:
        return mixSourceLabel(m_nCurSystem.at(SysByte::MixSource));
    case EdLanguage:
        return languageName(LanguageID);
    case EdSampleRate: {
        const int index = m_rateChoice >= 0 ? m_rateChoice : (m_nCurSystem.at(SysByte::SampleRate) == 11 ? 1 : 0);
        return index == 1 ? QStringLiteral("192kHz") : QStringLiteral("96kHz");
    }
    case EdCasGain:
        return cascadeGainText();
    case EdCasSource:
        return cascadeSourceLabel(m_nCasSystem.at(0));
    case EdCasMixer:
        return cascadeSourceLabel(m_nCasSystem.at(1));
    case EdCasSubLevel:
        return QString::number(cascadeSubLevelStep());
    case EdPullUp:
        return m_nCurSystem.at(kPullUpByte) ? tr("强") : tr("弱");
    case ShowBtState:
        return (m_nCurSystem.at(SysByte::BleConnected) & 1) ? tr("已连接") : tr("未连接");
    default:
        if (plainEdit(row.code, &edit))
            return soundEditText(edit);
        return QString();
    }
}

bool SetupForm::stepRow(const Row &row, bool up)
{
    SoundEdit edit = SoundEdit::Treble;
    switch (row.code) {
    case EdEqFreq:
        return stepEqFrequency(row.arg, up);
    case EdEqQ:
        return stepEqQ(row.arg, up);
    case EdEqGain:
        return stepEqGain(row.arg, up);
    case EdXFreq:
        return stepCrossover(CrossoverRow(row.arg), up);
    case EdXSlope:
        return stepSlope(CrossoverRow(row.arg), up);
    case EdMainAtten:
        return stepMainAtten(up);
    case EdMixSource:
        if (!stepMixSource(up))
            return false;
        emit updateMixerSource();
        return true;
    case EdLanguage: {
        const int id = stepValue(LanguageID, 0, 2, up, 1);
        if (id == LanguageID)
            return false;
        LanguageID = id;
        emit setlanguage();
        return true;
    }
    case EdArtwork:
        if (bool(g_CurMusicPlay.isSubPage) == up)
            return false;
        g_CurMusicPlay.isSubPage = up;
        emit updateSubPage();
        return true;
    case EdSampleRate: {
        const int was = m_rateChoice;
        m_rateChoice = up ? 1 : 0;
        return was != m_rateChoice;
    }
    case EdTavelo: {
        const bool on = m_nCurSystem.at(kCascadeByte) != 0;
        if (on == up)
            return false;
        setEditing(false);
        if (up) {
            // Look for a cascaded unit; the rows come once it answers.
            if (m_popup)
                m_popup->setType(PopupSearching, tr("搜寻中..."));
            emit checkDSPModel();
        } else {
            m_nCurSystem.set(kCascadeByte, 0);
            m_carType = -1;
            emit closeCAS(false);
            refreshPage();
        }
        return true;
    }
    case EdCasGain:
    case EdCasSource:
    case EdCasMixer:
    case EdCasSubLevel: {
        const bool moved = row.code == EdCasGain     ? stepCascadeGain(up)
                           : row.code == EdCasSource ? stepCascadeSource(up)
                           : row.code == EdCasMixer  ? stepCascadeMixer(up)
                                                     : stepCascadeSubLevel(up);
        if (moved)
            m_cascadeEditTimer->start();
        return moved;
    }
    case EdPullUp: {
        const int was = m_nCurSystem.at(kPullUpByte) ? 1 : 0;
        const int now = up ? 1 : 0;
        if (was == now)
            return false;
        m_nCurSystem.set(kPullUpByte, quint8(now));
        // Learned values belong to the old pull-up: they are all forgotten.
        InitTempStudyData();
        for (int b = 48; b <= 54; ++b)
            m_nCurSystem.set(b, 255);
        m_nCurSystem.set(42, 255);
        return true;
    }
    default:
        break;
    }
    if (!plainEdit(row.code, &edit) || !stepSoundEdit(edit, up))
        return false;
    if (row.code == EdBlackout)
        emit setBreakout();
    if (row.code == EdSpdif || row.code == EdDimmerCtl)
        QTimer::singleShot(0, this, &SetupForm::refreshPage);
    return true;
}

void SetupForm::change_Current_Row(bool up, int steps)
{
    switch (currentPage()) {
    case PresetPage:
        m_presetForm->change_Current_Row(up, steps);
        return;
    case TimePage:
        m_timeForm->change_Current_Row(up, steps);
        return;
    default:
        break;
    }
    if (!m_editing) {
        for (int i = 0; i < steps; ++i)
            m_list->moveSelectRow(up);
        return;
    }
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_rows.size())
        return;
    const Row r = m_rows[row];
    if (ListSelectData *sel = m_values.value(row))
        sel->dataChanged(up);
    bool moved = false;
    // Two-state rows take one step whatever the knob's speed.
    const int n = isTwoStateCode(r.code) || r.code == EdLanguage || r.code == EdSampleRate ? 1 : steps;
    for (int i = 0; i < n && m_editing; ++i)
        moved = stepRow(r, up) || moved;
    if (!moved)
        return;
    if (editsSystemRecord(r.code))
        emit delayLampUpdata();
    refreshValues();
}

void SetupForm::openConfirm(int type, const QString &text)
{
    if (!m_popup)
        return;
    m_popup->setType(type, text);
    // The knob chooses, its press confirms; a factory reset offers "cancel"
    // first so that a stray press undoes nothing.
    m_popup->setChoices({tr("取消"), tr("确定")}, type == PopupClearAll ? 0 : 1);
}

void SetupForm::click_Current_Row()
{
    switch (currentPage()) {
    case PresetPage:
        m_presetForm->click_Current_Row();
        return;
    case TimePage:
        m_timeForm->click_Current_Row();
        return;
    default:
        break;
    }
    const int row = m_list->currentRow();
    if (row < 0 || row >= m_rows.size())
        return;
    const Row r = m_rows[row];
    m_list->setViewListClicked();
    if (r.code == OpenPage) {
        pushPage(r.page, r.arg, r.text);
        return;
    }
    if (isValueCode(r.code)) {
        if (m_editing && r.code == EdSampleRate && m_rateChoice >= 0
            && sampleRateCode(m_rateChoice) != (m_nCurSystem.at(SysByte::SampleRate) == 11 ? 11 : 9)) {
            const QString rate = m_rateChoice == 1 ? QStringLiteral("192kHz") : QStringLiteral("96kHz");
            g_TempData.popupType = 0;
            const int choice = m_rateChoice;
            setEditing(false);
            m_rateChoice = choice;
            openConfirm(PopupSampleRate, tr("确定切换系统采样率%1? \n系统将会重启").arg(rate));
            refreshValues();
            return;
        }
        setEditing(!m_editing);
        return;
    }
    switch (r.code) {
    case ActDefeat:
        openConfirm(PopupDefeat, tr("确认清除音效设置？"));
        break;
    case ActClearAll:
        openConfirm(PopupClearAll, tr("请确认是否需要恢复原厂设置？\n恢复后不可还原。"));
        break;
    case ActAbout:
        emit openAbout();
        break;
    case ActWheelLearning:
        emit openWheelLearning();
        break;
    case ActSaveMemory:
        m_pendingSlot = r.arg;
        openConfirm(PopupSaveMemory, tr("确认保存当前音效"));
        break;
    case ActRecallMemory:
        ReadPreset_Func(r.arg);
        break;
    case ActCasPreset:
        m_carType = r.arg;
        emit readCASPreset(carTypePreset(r.arg));
        refreshPage();
        break;
    default:
        break;
    }
}

bool SetupForm::Prev_Gui_Action()
{
    if (currentPage() == TimePage && m_timeForm->leaveEditing())
        return false;
    if (m_editing) {
        setEditing(false);
        return false;
    }
    if (m_stack.size() <= 1)
        return true;
    m_stack.removeLast();
    rebuild(m_stack.last().row);
    emit setWindowTitle(currentTitle());
    return false;
}

void SetupForm::popupConfirmed(int type, int choice)
{
    if (type == PopupSearching)
        return;
    if (choice != 1) {
        // Cancelled.
        if (m_popup)
            m_popup->hide();
        m_rateChoice = -1;
        refreshValues();
        return;
    }
    switch (type) {
    case PopupDefeat:
        // Defeat: treble, bass and every EQ band back to 0 dB.
        m_nCurProgram.setU16(Image::inputSlot(0, 10) + 2, 600);
        m_nCurProgram.setU16(Image::inputSlot(0, 11) + 2, 600);
        for (int band = 0; band < 10; ++band)
            m_nCurProgram.setU16(Image::inputSlot(0, band) + 2, 600);
        refreshValues();
        break;
    case PopupClearAll:
        emit resetFactory();
        if (m_popup) {
            m_popup->setText(tr("正在恢复原厂设置\n请等待．．．"));
            m_popup->setChoices({});
            m_popup->setBusy(true);
        }
        break;
    case PopupSaveMemory:
        WritePreset_Func(m_pendingSlot);
        break;
    case PopupSampleRate:
        // The popup hands the code to the system record once it has closed.
        g_TempData.popupType = sampleRateCode(m_rateChoice);
        m_rateChoice = -1;
        refreshValues();
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------ presets

void SetupForm::ReadPreset_Func(int k)
{
    ProgramImage *stored = storedPreset(k + 1);
    if (!stored)
        return;
    // An edit still waiting to become the user EQ is kept before the
    // preset replaces it.
    if (m_b_Data_Modify_Flag)
        emit saveDefaultUserPreset();
    m_nCurProgram.copyFrom(*stored, 0, 0, 16);
    m_nCurSystem.set(kPresetByte, quint8(k + 1));
    emit readPreset(k + 1);
}

void SetupForm::WritePreset_Func(int slot)
{
    ProgramImage *stored = storedPreset(slot + 1);
    if (!stored || (slot != 11 && slot != 12))
        return;
    char name[14];
    if (QStringToChar(name, int(sizeof(name)),
                      slot == 12 ? QStringLiteral("用户自定义") : QStringLiteral("经销商定义"))) {
        for (ProgramImage *img : {stored, &m_nCurProgram}) {
            img->fill(0, 0, Image::NameSize);
            img->write(0, reinterpret_cast<const quint8 *>(name), int(sizeof(name)));
        }
    }
    const int input = Image::inputSlot(0, 0);
    stored->copyFrom(SendStructData, input, input, Image::InputWholeLength);
    for (int ch = 0; ch < 6; ++ch) {
        const int at = Image::outputSlot(ch, 0);
        stored->copyFrom(SendStructData, at, at, Image::OutputRecord);
    }
    emit savePreset(slot + 1);
}

// ------------------------------------------------------------ cascaded unit

void SetupForm::Update_LampSource(int source, int mixer)
{
    // Right after an edit the unit still reports the old value.
    if (m_cascadeEditTimer->isActive())
        return;
    for (auto *img : {&m_nCasSystem, &SendCasSYSData}) {
        img->set(0, quint8(source));
        img->set(1, quint8(mixer));
    }
    if (currentPage() == TaveloPage)
        refreshValues();
}

void SetupForm::Update_LampMainGain(int gain)
{
    if (m_cascadeEditTimer->isActive())
        return;
    for (auto *img : {&m_nCasSystem, &SendCasSYSData})
        img->setU16(8, quint16(gain));
    if (currentPage() == TaveloPage)
        refreshValues();
}

void SetupForm::cascadeSearchOver(bool found)
{
    if (!found)
        m_carType = -1;
    if (m_popup && m_popup->type() == PopupSearching)
        m_popup->hide();
    if (currentPage() == TaveloPage)
        refreshPage();
}
