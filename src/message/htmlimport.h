#pragma once
// The import of an HTML page as the body of an HTML-file message: "&amp;" is
// decoded, the qualifying image tags are found, each local image is looked up
// beside the page and its tag rewritten to point at an embedded part
// ("cid:" + file name), and the page title becomes the subject.

#include <QString>
#include <QStringList>

namespace kirvane::message {

struct HtmlPage {
    QStringList lines;         // the page source, "&amp;" decoded
    QString title;             // "" when the page has none
    QStringList pageTags;      // each qualifying image tag as found
    QStringList rewrittenTags; // parallel: the tag pointing at "cid:<name>", or "NULL" for a remote image
    QStringList images;        // full paths of the local images, in tag order
};

enum class HtmlImportStatus {
    Ok,
    Unreadable,
    MissingImage,
    ImageOutsideFolder, // a link beside the page leading out of its folder
    ImageNameRefused,   // two names that differ only in letter case, or a saved message's part name
};

struct HtmlImportResult {
    HtmlImportStatus status = HtmlImportStatus::Unreadable;
    HtmlPage page;
    QString missingImage; // the path looked for, with MissingImage; the image, with the other refusals
};

// True when an image may not travel under this file name in a saved message:
// a name like the message's own parts ("<name>1.dat" to "<name>7.dat",
// "<name>.MNL", "<name>.MNS", in any letter case) would be taken for one.
[[nodiscard]] bool isPartLikeName(const QString &fileName);

// Reads and analyses the page at path; nothing is copied or written.
[[nodiscard]] HtmlImportResult readHtmlPage(const QString &path);

// Every stretch from "<IMG" (any case) to the next ">" whose first attribute is
// SRC with a double-quoted value, in text order.
[[nodiscard]] QStringList qualifyingImageTags(const QString &text);
// The text between the first "<TITLE>" and the first "</TITLE>" (any case),
// line breaks turned into spaces.
[[nodiscard]] QString pageTitle(const QString &text);
// The text between the first two double quotes of a tag.
[[nodiscard]] QString tagSource(const QString &tag);

// Copies the images into the temporary folder (replacing files of the same
// name) and writes the page there as "temp_html.html"; returns that path, or
// "" when the page cannot be written.
[[nodiscard]] QString installHtmlPage(const HtmlPage &page);

inline constexpr QLatin1StringView kImportedPageName{"temp_html.html"};

} // namespace kirvane::message
