#include "mail/textlinecache.h"

#include "mail/codecs.h"

namespace kirvane::mail {

TextLineCache::TextLineCache(const QStringList &lines)
{
    for (const QString &line : lines) {
        // An empty string has no data of its own to be known by.
        if (line.isEmpty() || line.contains(u'\r') || line.contains(u'\n') || holds(line))
            continue;
        m_index.insert(line.constData(), m_known.size());
        m_known.append({line, QString(), {}});
    }
}

qsizetype TextLineCache::find(const QString &line) const
{
    const auto it = m_index.constFind(line.constData());
    // Shared data is never written to, so the same data and length is the same text.
    return it != m_index.constEnd() && m_known.at(*it).line.size() == line.size() ? *it : -1;
}

const TextLineCache::Form *TextLineCache::form(const QString &line, const Charset &charset)
{
    const qsizetype at = find(line);
    if (at < 0)
        return nullptr;
    Known &k = m_known[at];
    if (k.charset != charset.name()) {
        k.form = {canEncode(k.line, charset), encodeText(k.line, charset)};
        k.charset = charset.name();
    }
    return &k.form;
}

} // namespace kirvane::mail
