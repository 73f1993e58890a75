#pragma once
// The preset EQ page of the setup screen: the ten factory curves and the
// user EQ, each with its picture. Resting on a row for ReadDelayMs (or
// pressing the knob) recalls that preset unless it is the current one
// (system byte 24 holds the preset number, row + 1).
//
// GUI thread only.

#include <QWidget>

class ListViewWidget;
class QTimer;

class FactoryEQForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Rows = 11;
    static constexpr int ReadDelayMs = 800;

    explicit FactoryEQForm(QWidget *parent = nullptr);

    // The row's picture resource and its (untranslated) name.
    static QString picturePath(int row);
    static const char *rowName(int row);

    // Builds the rows in the current language, the current preset's row current.
    void reload();
    void change_Current_Row(bool up, int steps = 1);
    void click_Current_Row();
    int currentRow() const;
    ListViewWidget *list() const { return m_list; }
    bool readPending() const;

signals:
    void readPreset(int row);
    void saveUserPreset();

private:
    void readNow();

    ListViewWidget *m_list;
    QTimer *m_readTimer;
};
