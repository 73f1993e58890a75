#pragma once
// The setup screen (screen 3) in the content area (480 x 285): a stack of
// list pages driven by the knob and the back key. Menu rows open a page;
// value rows show their value between two arrows on the right, a knob
// press starts editing one and the knob then steps it through its value
// rule (soundrules.h), in place in the live images, which the change
// scanner sends; action rows confirm through the popup selector.
// The preset list (FactoryEQForm) and the time correction (TimeCorrention)
// are pages of the stack too.
//
// GUI thread only.

#include <QString>
#include <QVector>
#include <QWidget>

class FactoryEQForm;
class ListSelectData;
class ListViewWidget;
class PopupSelect;
class QTimer;
class TimeCorrention;

class SetupForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 480;
    static constexpr int Height = 285;
    // The cascaded unit's rows ignore its reports this long after an edit.
    static constexpr int CascadeEditMs = 2000;
    // The cascaded unit's page lists car types; each loads one of the unit's
    // stored presets: car type t (0..5) is preset t + 1 (preset 0 is the
    // unit's live set; every model that has presets keeps at least 1..6).
    static constexpr int CarTypes = 6;
    static int carTypePreset(int type) { return type + 1; }

    enum Page {
        MainPage,
        SoundPage,
        SubwooferPage,
        PeqBandsPage,
        PeqBandPage, // arg: band 0..9
        InputVolumePage,
        XOverPage,
        XOverEdgePage, // arg: CrossoverRow
        MemoryPage,
        MemorySlotPage, // arg: slot 11 (dealer) or 12 (user)
        GeneralPage,
        MixPage,
        DimmerPage,
        SpdifPage,
        TaveloPage,
        BluetoothPage,
        PresetPage, // FactoryEQForm
        TimePage,   // TimeCorrention
    };

    // What a row does. Menu rows open a page; the others edit a value or
    // start an action.
    enum Code {
        OpenPage,
        // Values.
        EdTreble,
        EdBass,
        EdSubOn,
        EdSubPhase,
        EdSubLevel,
        EdBalance,
        EdFader,
        EdVolUsb,
        EdVolBt,
        EdVolHiLevel,
        EdVolAux,
        EdVolUsbAudio,
        EdOutputVolume,
        EdEqFreq,
        EdEqQ,
        EdEqGain,
        EdXFreq,
        EdXSlope,
        EdMainAtten,
        EdMixSource,
        EdLanguage,
        EdArtwork,
        EdSpdif,
        EdDimmerCtl,
        EdDimmerLevel,
        EdBlackout,
        EdAmp,
        EdSampleRate,
        EdTavelo,
        EdCasGain,
        EdCasSource,
        EdCasMixer,
        EdCasSubLevel,
        EdPullUp,
        // Actions.
        ActDefeat,
        ActClearAll,
        ActAbout,
        ActSaveMemory,
        ActRecallMemory,
        ActWheelLearning,
        ActCasPreset, // arg: car type 0..5
        // A row that only shows a state.
        ShowBtState,
    };

    // Popup selector types of this screen.
    enum PopupKind {
        PopupClearAll = 15,
        PopupSaveMemory = 20,
        PopupSampleRate = 21,
        PopupDefeat = 22,
        PopupSearching = 100, // the Tavelo search; the back key leaves it alone
    };

    struct Row {
        const char *text; // Chinese source text, translated when shown
        Code code;
        int arg;   // page to open, or the value's band / crossover row
        Page page; // for OpenPage rows
    };

    explicit SetupForm(PopupSelect *popup, QWidget *parent = nullptr);
    ~SetupForm() override;

    // Keys (the controller calls them while screen 3 is shown).
    void change_Current_Row(bool up, int steps = 1);
    void click_Current_Row();
    // Back one level; true when the main page was shown (no level left).
    bool Prev_Gui_Action();
    // Back to the main page, nothing being edited (CloseAllWindows).
    void resetToMain();
    // Reloads every text of the shown page in the current language.
    void retranslate();

    // Presets: recall stored preset k + 1 (k = 0..12), save the current
    // sound into slot 11 (dealer) or 12 (user).
    void ReadPreset_Func(int k);
    void WritePreset_Func(int slot);

    // What tests and tools look at.
    Page currentPage() const;
    int currentPageArg() const;
    int pageDepth() const { return int(m_stack.size()); }
    QString currentTitle() const;
    ListViewWidget *list() const { return m_list; }
    FactoryEQForm *presetForm() const { return m_presetForm; }
    TimeCorrention *timeForm() const { return m_timeForm; }
    int currentRow() const;
    int rowCount() const;
    Code rowCode(int row) const;
    QString rowText(int row) const;
    // The value shown in a row, "" for rows without one.
    QString rowValue(int row) const;
    bool isEditing() const { return m_editing; }
    // The current page's rows (after the mode and state rules).
    QVector<Row> pageRows() const;
    // Moves to the first row with this code on the current page.
    bool selectRowByCode(Code code);
    // Opens a page directly (for tools drawing every page).
    void showPage(Page page, int arg = 0);
    // The language names, each in its own script.
    static QString languageName(int id);

public slots:
    // The cascaded unit's source and main gain as the MCU reports them.
    void Update_LampSource(int source, int mixer);
    void Update_LampMainGain(int gain);
    // A Tavelo search ended: found (the rows are refreshed) or not.
    void cascadeSearchOver(bool found);
    // The learned steering-wheel keys changed elsewhere.
    void refreshPage();

signals:
    void setWindowTitle(const QString &title);
    void setWindowTitleHide();
    void updateMixerSource();
    void resetFactory();
    void setlanguage();
    void updateSubPage();
    void setBreakout();
    void delayLampUpdata();
    void checkDSPModel();
    void saveDefaultUserPreset();
    void savePreset(int preset);
    void readPreset(int preset);
    void readCASPreset(int preset);
    void closeCAS(bool clearActive);
    void sig_DelayUint();
    // The About and steering-wheel learning rows (pages of the diagnostics side).
    void openAbout();
    void openWheelLearning();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Level {
        Page page;
        int arg;
        int row;          // the row current when a page above was opened
        const char *text; // the row that opened it (its title)
    };

    QString pageTitle(const Level &level) const;
    void pushPage(Page page, int arg, const char *text);
    void rebuild(int keepRow);
    void showCurrent();
    void setEditing(bool on);
    bool stepRow(const Row &row, bool up);
    QString valueText(const Row &row) const;
    void refreshValues();
    void popupConfirmed(int type, int choice);
    void openConfirm(int type, const QString &text);
    int sampleRateCode(int index) const;

    PopupSelect *m_popup;
    ListViewWidget *m_list;
    FactoryEQForm *m_presetForm;
    TimeCorrention *m_timeForm;
    QTimer *m_cascadeEditTimer;
    QVector<Level> m_stack;
    QVector<Row> m_rows; // rows of the shown list page
    QVector<ListSelectData *> m_values;
    bool m_editing = false;
    int m_rateChoice = -1; // sample-rate row: the rate offered (index into the list)
    int m_pendingSlot = 0; // sound memory slot waiting for its confirmation
    int m_carType = -1;    // the cascaded unit's car type chosen since it was found
};
