#pragma once
// The About page: the product's name, the program's version and the
// version the MCU reported at start-up.

#include <QWidget>

class QLabel;

class AboutForm : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 480;
    static constexpr int Height = 283;

    explicit AboutForm(QWidget *parent = nullptr);

    // Rereads the versions (the MCU's arrives after start-up).
    void refresh();
    QStringList lines() const;

signals:
    void setWindowTitle(const QString &title);

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_lines[3];
};
