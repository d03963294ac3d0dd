#pragma once
// The files of a message: attached files and the images an HTML body embeds.

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace kirvane::mail {

// One attached file or embedded image.
class Attachment
{
public:
    QString fileName;            // name without folder; part headers and content id
    QString pathName;            // path given to AttachmentList::add
    QString contentType;         // contentTypeOf(path); a received file's is that of its name
    QByteArray data;             // content bytes; empty until encoded or parsed
    QList<QByteArray> encodedLines; // base64 of data, 76 characters a line
    // True for the files of a received message: their content is data alone,
    // even when empty. pathName is then only the name the sender gave, and a
    // file of that name on this machine must never be read in its place.
    bool heldInMemory = false;

    // Fills encodedLines (and data when the source is the file). The source is
    // data when it holds bytes or heldInMemory is set, else the file at
    // pathName. Encoding a file is
    // done once per process for a given path, size and modification time;
    // later calls share the result. Bytes already encoded (by this item, or
    // by the one it was copied from) are not encoded again until data
    // changes. Returns false with the file system's error text when the file
    // cannot be read.
    [[nodiscard]] bool encode(QString *error = nullptr);

private:
    QByteArray m_encodedData; // the data that encodedLines encodes, shared with it
};

// Ordered collection that owns its items; references returned by add() and
// operator[] stay valid until the item is removed or the collection cleared.
class AttachmentList
{
public:
    AttachmentList() = default;
    AttachmentList(const AttachmentList &other);
    AttachmentList &operator=(const AttachmentList &other);
    AttachmentList(AttachmentList &&) noexcept = default;
    AttachmentList &operator=(AttachmentList &&) noexcept = default;

    // Appends an item for path: fileName is the name part, pathName the path,
    // contentType contentTypeOf(path).
    Attachment &add(const QString &path);
    [[nodiscard]] int count() const { return int(m_items.size()); }
    [[nodiscard]] bool isEmpty() const { return m_items.empty(); }
    Attachment &operator[](int i) { return *m_items.at(size_t(i)); }
    const Attachment &operator[](int i) const { return *m_items.at(size_t(i)); }
    void removeAt(int i);
    void clear() { m_items.clear(); }
    // Encodes every item in order, letting the window repaint between two;
    // stops at the first that cannot be read, with its error text.
    [[nodiscard]] bool encodeAll(QString *error = nullptr);

private:
    std::vector<std::unique_ptr<Attachment>> m_items;
};

// MIME type associated with the file name's extension, or
// "application/octet-stream".
[[nodiscard]] QString contentTypeOf(const QString &path);

} // namespace kirvane::mail
