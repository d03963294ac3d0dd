#pragma once
// The wire form of text lines that a series of messages shares. The body
// lines of a sending run that hold no placeholder are the same strings in
// every message; MailMessage::compose() checks and encodes each of them once
// for the whole run instead of once per message.
//
//     auto cache = std::make_shared<TextLineCache>(bodyLines);
//     msg.text = personalisedLines;  // the lines left alone share their data
//     msg.lineCache = cache;
//     msg.compose();
//
// A line is known by its string data (and length), which the cache holds on
// to: a line changed since is another string and is worked out as usual. Used by one
// thread at a time.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace kirvane::mail {

class Charset;

class TextLineCache {
public:
    // Remembers the lines that hold no line end (those are split first).
    explicit TextLineCache(const QStringList &lines);

    // True when line is one of the lines, the same string.
    [[nodiscard]] bool holds(const QString &line) const { return find(line) >= 0; }

    // A line's wire form in a charset.
    struct Form {
        bool fits = false; // canEncode()
        QByteArray bytes;  // encodeText()
    };
    // The form of line in charset, worked out the first time it is asked
    // for; nullptr when line is not one of the lines.
    [[nodiscard]] const Form *form(const QString &line, const Charset &charset);

private:
    // The index of line in m_known, or -1.
    [[nodiscard]] qsizetype find(const QString &line) const;

    struct Known {
        QString line;
        QString charset; // the charset name of form; empty until worked out
        Form form;
    };
    QList<Known> m_known;
    QHash<const QChar *, qsizetype> m_index; // by the line's data, into m_known
};

} // namespace kirvane::mail
