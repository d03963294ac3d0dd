#pragma once
// The desktop program's application object. An error that no command catches
// is shown in a message box and the program goes on, as with any other
// failed command: a throw that reached the event loop would otherwise end the
// program and lose the contact or message being written.

#include <QApplication>

#include <functional>

namespace kirvane::shell {

class Application : public QApplication {
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the text of an uncaught error (tests replace it).
    std::function<void(const QString &text)> showUncaught;

private:
    void report(const QString &text);
    bool m_reporting = false;
};

} // namespace kirvane::shell
