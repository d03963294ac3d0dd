#pragma once
// The about box: the program's version, who publishes and develops it, and
// the update command, which hands over to the separate "updater" program
// (when one lies in the program's folder) and ends this one.

#include "ui/bilingual.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

namespace kirvane::shell {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // The identifier the updater is given first, before the version.
    static constexpr const char *kProductId = "kirvane-desktop";

    AboutDialog(const QString &programFolder, const QString &version, QWidget *parent = nullptr);

    void applyLanguage(int language);
    [[nodiscard]] QString updaterPath() const;
    [[nodiscard]] QString version() const { return m_version; }

    // Starts the updater with the product identifier and the version and
    // signals updaterStarted; does nothing when there is no updater, or when
    // mayEnd() refuses.
    void startUpdater();

    // Starts a program detached (tests replace it).
    std::function<bool(const QString &program, const QStringList &arguments)> startProgram;
    // Asked before the updater starts, since the program ends right after it:
    // false keeps the program running (the main window asks its closing
    // questions here). Unset: the program may end.
    std::function<bool()> mayEnd;

Q_SIGNALS:
    void updaterStarted();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_programFolder;
    QString m_version;
    QLabel *m_versionCaption = nullptr;
    QLabel *m_publisher = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_update = nullptr;
};

} // namespace kirvane::shell
