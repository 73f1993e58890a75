#pragma once
// The time correction page of the setup screen: the unit row (ms, cm,
// inch) and one row per output channel, named by the divider mode. A
// channel row edits the channel's delay (output slot 31 bytes 4..5) by the
// delay step, several steps for a fast knob turn; the unit row changes the
// unit every delay is shown in and announces it (sig_DelayUint).
//
// GUI thread only.

#include <QVector>
#include <QWidget>

class ListSelectData;
class ListViewWidget;

class TimeCorrention : public QWidget
{
    Q_OBJECT

public:
    explicit TimeCorrention(QWidget *parent = nullptr);

    // Builds the rows in the current language and mode.
    void reload();
    void change_Current_Row(bool up, int steps = 1);
    void click_Current_Row();
    // Leaves editing; false when nothing was being edited.
    bool leaveEditing();
    bool isEditing() const { return m_editing; }
    int currentRow() const;
    ListViewWidget *list() const { return m_list; }
    // The value shown in a row.
    QString rowValue(int row) const;
    // The row name of output channel 0..5 in the current divider mode.
    static const char *channelName(int channel, bool threeWay);

signals:
    void sig_DelayUint();

private:
    void setEditing(bool on);
    void refreshValues();

    ListViewWidget *m_list;
    QVector<ListSelectData *> m_values;
    bool m_editing = false;
};
