#pragma once
// The HTML area: shows a local page (a newsletter, its preview) as a
// recipient's mail program would, with table layouts, CSS and embedded
// images. The rest of the program knows only this class, not the engine that
// draws the page.
//
// Pages are untrusted, so the area is locked down: no scripts, nothing fetched
// but local files, data: URLs and cid: parts (served from the folder that
// holds the message's images), no context menu, no navigation inside the area;
// a link the user clicks opens in the desktop's browser. The engine is heavy
// (a browser process and well over a hundred megabytes while a page is shown),
// so it is created the first time a page must actually be drawn.
//
// HtmlView::prepareProcess() must run before the QApplication is created.

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QWebEngineView;
class QWebEngineProfile;

namespace kirvane::message {

class HtmlView : public QWidget {
    Q_OBJECT
public:
    explicit HtmlView(QWidget *parent = nullptr);
    ~HtmlView() override;

    // Registers the cid: scheme and the engine's process settings. As root the
    // engine's sandbox cannot start: it is turned off, with a note on standard
    // error. Call once, before the QApplication exists.
    static void prepareProcess();

    // Shows the file at path ("" for an empty area). The page is loaded now if
    // the area is visible, else the first time it is shown.
    void showFile(const QString &path);
    [[nodiscard]] const QString &file() const { return m_file; }

    // Where cid: references are looked up (by file name only); the temporary
    // folder unless set.
    void setPartsFolder(const QString &folder);
    [[nodiscard]] const QString &partsFolder() const { return m_partsFolder; }

    // True once the engine exists (a page was drawn).
    [[nodiscard]] bool engineCreated() const { return m_view != nullptr; }
    // The engine's widget, null until then.
    [[nodiscard]] QWebEngineView *engineView() const { return m_view; }

    // How a clicked link reaches the desktop's browser (tests replace it).
    std::function<bool(const QUrl &)> openUrl;

Q_SIGNALS:
    // A page (or the empty area) finished loading into the engine.
    void pageLoaded(bool ok);
    // A request the area refused to make (a remote image, font, style sheet).
    void requestBlocked(const QUrl &url);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ensureEngine();
    void load();

    QWebEngineProfile *m_profile = nullptr;
    QWebEngineView *m_view = nullptr;
    QString m_file;
    QString m_partsFolder;
    bool m_pending = false;
};

} // namespace kirvane::message
