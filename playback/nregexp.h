#pragma once
// A regular expression applied repeatedly over a whole text, yielding the
// first capture group of every match ('.' matches line ends too).

#include <QRegularExpression>
#include <QStringList>

class NRegExp
{
public:
    explicit NRegExp(const QString &pattern);

    // First capture of each match, in order; each search starts right after
    // the previous match.
    QStringList pregMatch(const QString &text) const;

private:
    QRegularExpression m_re;
};
