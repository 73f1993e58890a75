#pragma once
// The one object that installs the translation of the chosen language:
// 0 Chinese (the source texts, no translation), 1 English, 2 Korean. After
// every effective switch it emits LanguageChaned(); the screens then reload
// their texts.
//
// GUI thread only. Created on first use, never destroyed before exit.

#include <QObject>

class QTranslator;

class SetLanguage : public QObject
{
    Q_OBJECT

public:
    static SetLanguage *GetLanguageInstance();

    // The translation resource of a language id ("" for Chinese and unknown ids).
    static QString resourceOf(int id);
    // Where the translation files are looked for (":/lang/Language/"; tests
    // point it elsewhere to see a file go missing).
    static void setResourceDir(const QString &dir);

    void ChangeLanguage(int id);
    int currentLanguage() const { return m_current; }
    // Whether a translation is installed in the application.
    bool translatorInstalled() const { return m_installed; }

signals:
    void LanguageChaned();

private:
    SetLanguage();

    QTranslator *m_translator;
    int m_current = 0;
    bool m_installed = false;
};
