#pragma once
// Keeps the program's HTML views (message preview, history, print preview)
// free of a context menu: installed on the application for the whole run, it
// swallows the context-menu request and the right-button presses and releases
// aimed at an HTML view. An HTML view is a QTextBrowser, or any widget whose
// "htmlView" property is true; a widget inside one counts as the view.

#include <QObject>

namespace kirvane::shell {

class HtmlContextMenuFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override;

    [[nodiscard]] static bool isHtmlView(const QObject *object);
};

} // namespace kirvane::shell
