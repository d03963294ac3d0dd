#include "shell/htmlviewfilter.h"

#include <QMouseEvent>
#include <QTextBrowser>

namespace kirvane::shell {

bool HtmlContextMenuFilter::isHtmlView(const QObject *object)
{
    // The view itself, or its viewport and scroll bars.
    for (int depth = 0; object && depth < 3; ++depth, object = object->parent()) {
        if (qobject_cast<const QTextBrowser *>(object) || object->property("htmlView").toBool())
            return true;
    }
    return false;
}

bool HtmlContextMenuFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ContextMenu:
        return isHtmlView(watched);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return static_cast<QMouseEvent *>(event)->button() == Qt::RightButton && isHtmlView(watched);
    default:
        return false;
    }
}

} // namespace kirvane::shell
