#include "nregexp.h"

NRegExp::NRegExp(const QString &pattern)
    : m_re(pattern, QRegularExpression::DotMatchesEverythingOption)
{}

QStringList NRegExp::pregMatch(const QString &text) const
{
    QStringList out;
    int pos = 0;
    while (pos <= text.size()) {
        const QRegularExpressionMatch m = m_re.match(text, pos);
        if (!m.hasMatch())
            break;
        out << m.captured(1);
        // An empty match must still move on.
        pos = m.capturedEnd() > pos ? m.capturedEnd() : pos + 1;
    }
    return out;
}
