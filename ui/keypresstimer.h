#pragma once
// The controller's single-shot key repeat timer: setkeyTimer(ms) (re)starts
// it for the key last stored with setKey(); timeout() when it expires.

#include <QTimer>

class KeyPressTimer : public QTimer
{
    Q_OBJECT

public:
    explicit KeyPressTimer(QObject *parent = nullptr);

    void setKey(int key) { m_key = key; }
    int key() const { return m_key; }

public slots:
    void setkeyTimer(int ms);

private:
    int m_key = -1;
};
