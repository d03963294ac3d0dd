#pragma once
// The settings window (objectName "Form_configuration"): the connection and
// sending settings of config.ini in four tabs, the fourth for the servers'
// security and logins, the unsubscription addresses, DKIM and the text
// alternative (its fields are named after their config.ini keys). Every time it is shown it is
// filled afresh from the file; "Enregistrer" checks the sender, asks, writes
// the file and closes; a file that cannot be written is reported and the
// window stays open with its edits.

#include "settings/settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
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
    [[nodiscard]] const settings::Settings &settings() const { return m_settings; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void save();
    void followCheckBoxes();
    void followSecurity();
    QWidget *buildSecurityTab();
    // A row of form: a label whose text follows the language, over w and its
    // example in small type.
    // example: the text-table entry of the example shown below the field, or -1.
    QLabel *addLabelledRow(QFormLayout *form, std::function<QString(int)> text, QWidget *w, int example);
    [[nodiscard]] settings::Settings fromFields() const;

    texts::Asker &m_asker;
    settings::Settings m_settings;
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
    // The security and headers tab.
    QComboBox *m_smtpSecurity = nullptr;
    QLineEdit *m_smtpServerPort = nullptr;
    QLineEdit *m_smtpLogin = nullptr;
    QLineEdit *m_smtpPassword = nullptr;
    QComboBox *m_popSecurity = nullptr;
    QLineEdit *m_popServerPort = nullptr;
    QLineEdit *m_caFile = nullptr;
    QLineEdit *m_subscriptionAddress = nullptr;
    QLineEdit *m_unsubscribeUrl = nullptr;
    QLineEdit *m_dkimSelector = nullptr;
    QLineEdit *m_dkimDomain = nullptr;
    QLineEdit *m_dkimKeyFile = nullptr;
    QCheckBox *m_textAlternative = nullptr;
    QList<QGroupBox *> m_groups;     // SMTP, POP3, messages
    int m_language = 1;
    QList<QLabel *> m_labels;       // each with its text in a language below
    QList<std::function<QString(int)>> m_labelTexts;
    QList<QWidget *> m_packetWidgets;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace kirvane::sending
