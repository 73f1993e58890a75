#pragma once
// Monkey's Audio files carry their tags in an APE tag (version 1 or 2) at
// the end of the file, before an optional ID3v1 trailer. This reader takes
// the text items of that tag; it trusts no length or count in the file.

#include <QByteArray>
#include <QHash>
#include <QString>

class ApeTag
{
public:
    // Reads the tag of a file; false when the file has none (or a broken one).
    bool readFile(const QString &path);
    // Parses a tag whose footer ends the given bytes (the end of a file, with
    // any ID3v1 trailer already cut off).
    bool parse(const QByteArray &tail);

    // Text value of an item, by key in any case; empty when absent.
    QString value(const QString &key) const { return m_items.value(key.toLower()); }
    bool isEmpty() const { return m_items.isEmpty(); }

    // Largest tag read; a bigger one (a huge picture) is skipped.
    static constexpr qint64 kMaxTagBytes = 16 << 20;

private:
    QHash<QString, QString> m_items; // lower-case key -> first text value
};
