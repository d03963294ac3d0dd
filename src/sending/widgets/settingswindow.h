#pragma once
// The settings window (objectName "Form_configuration"): the connection and
// sending settings of config.ini in three tabs. Every time it is shown it is
// filled afresh from the file; "Enregistrer" checks the sender, asks, writes
// the file and closes; a file that cannot be written is reported and the
// window stays open with its edits.

#include "sending/settings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kirvane::texts {
class Asker;
}

namespace kirvane::sending {

class BoundedSpinBox;

class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    SettingsWindow(texts::Asker &asker, QWidget *parent = nullptr);

    // Captions in language (1 French, 2 English).
    void applyLanguage(int language);
    // Fills the fields from config.ini (done on every showing).
    void refresh();
    // The window's copy of the settings, as last read or saved.
    [[nodiscard]] const Settings &settings() const { return m_settings; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void save();
    void followCheckBoxes();
    [[nodiscard]] Settings fromFields() const;

    texts::Asker &m_asker;
    Settings m_settings;
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_senderName = nullptr;
    QLineEdit *m_senderAddress = nullptr;
    QLineEdit *m_redirection = nullptr;
    QLineEdit *m_smtpServer = nullptr;
    QLineEdit *m_popServer = nullptr;
    QLineEdit *m_login = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_useProxy = nullptr;
    QLineEdit *m_smtpProxy = nullptr;
    BoundedSpinBox *m_smtpPort = nullptr;
    QLineEdit *m_popProxy = nullptr;
    BoundedSpinBox *m_popPort = nullptr;
    QCheckBox *m_packets = nullptr;
    BoundedSpinBox *m_packetSize = nullptr;
    BoundedSpinBox *m_packetPause = nullptr;
    QList<QLabel *> m_labels;       // in the order of their text entries below
    QList<int> m_labelEntries;
    QList<QWidget *> m_packetWidgets;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace kirvane::sending
