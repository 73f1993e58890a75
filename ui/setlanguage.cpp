#include "setlanguage.h"

#include "logging.h"

#include <QCoreApplication>
#include <QTranslator>

SetLanguage::SetLanguage()
    : m_translator(new QTranslator(this))
{}

SetLanguage *SetLanguage::GetLanguageInstance()
{
    // Parented to nothing: it lives until the process ends.
    static SetLanguage *instance = new SetLanguage;
    return instance;
}

namespace {
QString &resourceDir()
{
    static QString dir = QStringLiteral(":/lang/Language/");
    return dir;
}
} // namespace

void SetLanguage::setResourceDir(const QString &dir)
{
    resourceDir() = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString SetLanguage::resourceOf(int id)
{
    switch (id) {
    case 1:
        return resourceDir() + QStringLiteral("QT_English.qm");
    case 2:
        return resourceDir() + QStringLiteral("QT_Korea.qm");
    default:
        return QString();
    }
}

void SetLanguage::ChangeLanguage(int id)
{
    if (id == m_current)
        return;
    if (m_installed) {
        QCoreApplication::removeTranslator(m_translator);
        m_installed = false;
    }
    const QString file = resourceOf(id);
    if (!file.isEmpty()) {
        if (m_translator->load(file) && QCoreApplication::installTranslator(m_translator)) {
            m_installed = true;
        } else {
            // Without its file the screens stay in the source texts (Chinese).
            qCWarning(lcUi).noquote()
                << QStringLiteral("translation %1 of language %2 missing: the texts stay Chinese").arg(file).arg(id);
        }
    }
    m_current = id;
    emit LanguageChaned();
}
