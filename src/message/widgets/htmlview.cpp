#include "message/widgets/htmlview.h"

#include "common/folders.h"
#include "message/logging.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <unistd.h>

namespace kirvane::message {

using namespace kirvane::common;

namespace {

const QByteArray kCidScheme = QByteArrayLiteral("cid");

bool isLocalScheme(const QString &scheme)
{
    return scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
           scheme == QLatin1String(kCidScheme);
}

// Refuses every request that would leave the machine: a newsletter's remote
// images, fonts and style sheets (a tracking pixel among them) are never
// fetched.
class LocalOnlyInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    explicit LocalOnlyInterceptor(HtmlView *area) : QWebEngineUrlRequestInterceptor(area), m_area(area) {}

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (isLocalScheme(info.requestUrl().scheme()))
            return;
        info.block(true);
        QMetaObject::invokeMethod(m_area, [area = m_area, url = info.requestUrl()] { Q_EMIT area->requestBlocked(url); },
                                  Qt::QueuedConnection);
    }

private:
    HtmlView *m_area;
};

// Serves "cid:name" from the parts folder, by file name only: a reference
// cannot climb out of that folder.
class CidSchemeHandler final : public QWebEngineUrlSchemeHandler {
public:
    explicit CidSchemeHandler(HtmlView *area) : QWebEngineUrlSchemeHandler(area), m_area(area) {}

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QString name = QFileInfo(job->requestUrl().path()).fileName();
        QFile file(findNoCase(m_area->partsFolder(), name));
        if (name.isEmpty() || !file.open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(job);
        buffer->setData(file.readAll());
        buffer->open(QIODevice::ReadOnly);
        const QByteArray type = QMimeDatabase().mimeTypeForFileNameAndData(name, buffer->data()).name().toLatin1();
        job->reply(type, buffer);
    }

private:
    HtmlView *m_area;
};

// A page that navigates nowhere by itself: a clicked link goes to the
// desktop's browser, every other navigation away from a local page is
// refused.
class LockedPage final : public QWebEnginePage {
public:
    LockedPage(QWebEngineProfile *profile, HtmlView *area) : QWebEnginePage(profile, area), m_area(area) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool) override
    {
        if (type == NavigationTypeLinkClicked) {
            if (m_area->openUrl)
                m_area->openUrl(url);
            return false;
        }
        return isLocalScheme(url.scheme());
    }

    // A link with a target of its own asks for a new window: hand its address
    // to the browser and open nothing.
    QWebEnginePage *createWindow(WebWindowType) override
    {
        return new LinkCatcher(profile(), m_area);
    }

private:
    class LinkCatcher final : public QWebEnginePage {
    public:
        LinkCatcher(QWebEngineProfile *profile, HtmlView *area) : QWebEnginePage(profile, area), m_area(area) {}

    protected:
        bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override
        {
            if (m_area->openUrl)
                m_area->openUrl(url);
            deleteLater();
            return false;
        }

    private:
        HtmlView *m_area;
    };

    HtmlView *m_area;
};

// No context menu: it would offer navigation, saving and "inspect".
class LockedWebView final : public QWebEngineView {
public:
    using QWebEngineView::QWebEngineView;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override { event->accept(); }
};

} // namespace

void HtmlView::prepareProcess()
{
    QWebEngineUrlScheme cid(kCidScheme);
    cid.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    cid.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(cid);
    // The engine draws through shared OpenGL contexts; this must be said
    // before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qCWarning(lcMessage, "running as root, so the HTML area runs without its sandbox "
                             "(run as an ordinary user to keep it)");
    }
}

HtmlView::HtmlView(QWidget *parent) : QWidget(parent), m_partsFolder(tempFolder())
{
    setObjectName(QStringLiteral("HtmlView"));
    // The shell's filter keeps right clicks away from HTML views.
    setProperty("htmlView", true);
    setContextMenuPolicy(Qt::NoContextMenu);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

HtmlView::~HtmlView()
{
    // The page must go before the profile it uses.
    if (m_view) {
        QWebEnginePage *page = m_view->page();
        delete m_view;
        delete page;
        m_view = nullptr;
    }
}

void HtmlView::setPartsFolder(const QString &folder) { m_partsFolder = folder; }

void HtmlView::showFile(const QString &path)
{
    m_file = path;
    m_pending = true;
    if (isVisible())
        load();
}

void HtmlView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_pending)
        load();
}

void HtmlView::ensureEngine()
{
    if (m_view)
        return;
    // Off the record: nothing of a page is kept on disk.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setUrlRequestInterceptor(new LocalOnlyInterceptor(this));
    m_profile->installUrlSchemeHandler(kCidScheme, new CidSchemeHandler(this));
    QWebEngineSettings *s = m_profile->settings();
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadImages, true);

    m_view = new LockedWebView(this);
    m_view->setObjectName(QStringLiteral("HtmlViewEngine"));
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->setAcceptDrops(false);
    m_view->setPage(new LockedPage(m_profile, this));
    connect(m_view, &QWebEngineView::loadFinished, this, &HtmlView::pageLoaded);
    layout()->addWidget(m_view);
}

void HtmlView::load()
{
    m_pending = false;
    ensureEngine();
    if (m_file.isEmpty())
        m_view->setHtml(QString());
    else
        m_view->load(QUrl::fromLocalFile(m_file));
}

} // namespace kirvane::message
