#pragma once
// The message archive: a ZIP file holding a saved message (.MNL) or an
// interrupted send (.MNS). Entries, in order, all with bare names and deflated
// at level 9: "<name>.MNL" (the 530-byte header record), "<name>1.dat" to
// "<name>4.dat" (body, destination books, attachments, exclusion books),
// "<name>5.dat" to "<name>7.dat" when the image lists exist, then each image
// under its file name. Text parts are lines ended by CR LF in Windows-1252, or
// UTF-8 behind a byte-order mark when a text does not fit that charset.

#include "texts/asker.h"
#include <QByteArray>
#include <QString>

namespace kirvane::message {

class MessageDocument;

enum class ArchiveKind { SavedMessage = 1, InterruptedSend = 2 };
[[nodiscard]] QString archiveExtension(ArchiveKind kind); // ".MNL" / ".MNS"

inline constexpr int kHeaderSize = 530;

struct ArchiveHeader {
    QString subject;
    QString resumeKey;
    QString resumeBook;
    int mode = 1;
};

// The 530-byte record; strings cut to their room (255, 15, 255 bytes).
[[nodiscard]] QByteArray encodeHeader(const ArchiveHeader &header);
// False when bytes is no header: too short, a length beyond its room, or a
// mode that is not 1, 2 or 3.
[[nodiscard]] bool decodeHeader(const QByteArray &bytes, ArchiveHeader *header);

// Limits on what reading unpacks: an archive beyond them is refused.
struct ArchiveLimits {
    qint64 maxTotalSize = qint64(1) << 30; // bytes once unpacked
    int maxEntries = 10000;
};

// Writes the document to basePath + extension (basePath holds no extension),
// first as basePath + ".xxx", then moved onto the target. On failure returns
// false with a reason in *error; the target is then left as it was.
[[nodiscard]] bool writeArchive(const MessageDocument &message, const QString &basePath, ArchiveKind kind,
                                const QString &resumeKey, const QString &resumeBook, QString *error = nullptr);

enum class ArchiveReadStatus {
    Ok,
    Unreadable, // not a ZIP archive, or it cannot be opened
    Corrupt,    // no header, a bad header, unsafe entry names, absurd sizes
};

// Unpacks the archive at path (its name ends ".MNL" or ".MNS") into the
// private temporary folder and fills the document from it. Nothing is
// unpacked when an entry name holds a folder part, when the archive would
// unpack beyond the limits or when it has no header entry under its own name;
// the document is left alone unless status is Ok. A read that fails removes
// what it unpacked; after a read that succeeds, unpacked (when given) lists the
// files it made (not those it replaced), for a caller that only reads the
// archive to remove once done.
[[nodiscard]] ArchiveReadStatus readArchive(const QString &path, MessageDocument &message,
                                            const ArchiveLimits &limits = {}, QStringList *unpacked = nullptr);

// "Sauvegardes" in the data folder, created when missing: where the save and
// open choosers start.
[[nodiscard]] QString savedMessagesFolder();

// Save: the target is the chosen folder and name with ".MNL"; an existing file
// is replaced only after the user agrees. Shows the backup error on failure.
bool saveMessage(const MessageDocument &message, const QString &chosenPath, texts::Asker &ask);
// Open, once a file is chosen (the loss question comes before the chooser):
// shows the corrupt-message text when the archive cannot be used.
bool openMessage(MessageDocument &message, const QString &path, texts::Asker &ask);
// The question asked before Open: false when the user keeps the message.
bool confirmOpen(const MessageDocument &message, texts::Asker &ask);

} // namespace kirvane::message
