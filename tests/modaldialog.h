#pragma once
// Acting on a modal dialog a test's click opens: the act is queued and runs
// inside the dialog's own event loop once it is shown.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs act on the next modal dialog once it is visible; context ends the wait.
inline void onNextModal(QObject *context, std::function<void(QWidget *)> act)
{
    QTimer::singleShot(0, context, [context, act = std::move(act)] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) {
            onNextModal(context, act);
            return;
        }
        act(w);
    });
}
