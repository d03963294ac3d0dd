#include "sending/widgets/settingswindow.h"

#include "sending/widgets/boundedspinbox.h"
#include "texts/texttable.h"
#include "texts/asker.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"
#include "common/folders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::settings;

namespace tr = texts;

namespace {

QLineEdit *field(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

// An example under a field, in small type.
QLabel *hint(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    l->setFont(f);
    l->setEnabled(false);
    return l;
}

} // namespace

SettingsWindow::SettingsWindow(Asker &asker, QWidget *parent) : QDialog(parent), m_asker(asker)
{
    setObjectName(QStringLiteral("Form_configuration"));
    setModal(true);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("PageControl1"));
    // Every tab's title stays readable: the window is as wide as its tabs.
    m_tabs->tabBar()->setUsesScrollButtons(false);

    auto addRow = [this](QFormLayout *form, int entry, QWidget *w, int example) {
        return addLabelledRow(form, [entry](int language) { return tr::text(entry, language); }, w, example);
    };

    auto *email = new QWidget(m_tabs);
    auto *emailForm = new QFormLayout(email);
    m_senderName = field("Edit11", email);
    m_senderAddress = field("Edit1", email);
    m_redirection = field("Edit2", email);
    m_smtpServer = field("Edit4", email);
    m_popServer = field("Edit3", email);
    m_login = field("Edit5", email);
    m_password = field("Edit6", email);
    m_password->setEchoMode(QLineEdit::Password);
    addRow(emailForm, tr::SettingsSenderName, m_senderName, tr::SettingsExampleSenderName);
    addRow(emailForm, tr::SettingsSenderAddress, m_senderAddress, tr::SettingsExampleSenderAddress);
    addRow(emailForm, tr::SettingsRedirection, m_redirection, tr::SettingsExampleRedirection);
    addRow(emailForm, tr::SettingsSmtpServer, m_smtpServer, tr::SettingsExampleSmtpServer);
    addRow(emailForm, tr::SettingsPopServer, m_popServer, tr::SettingsExamplePopServer);
    addRow(emailForm, tr::SettingsLogin, m_login, tr::SettingsExampleLogin);
    addRow(emailForm, tr::SettingsPassword, m_password, -1);

    auto *proxy = new QWidget(m_tabs);
    auto *proxyBox = new QVBoxLayout(proxy);
    m_useProxy = new QCheckBox(proxy);
    m_useProxy->setObjectName(QStringLiteral("CheckBox1"));
    proxyBox->addWidget(m_useProxy);
    auto *proxyForm = new QFormLayout;
    proxyBox->addLayout(proxyForm);
    m_smtpProxy = field("Edit7", proxy);
    m_smtpPort = new BoundedSpinBox(1, 65535, 5, proxy);
    m_smtpPort->setObjectName(QStringLiteral("Edit9"));
    m_popProxy = field("Edit8", proxy);
    m_popPort = new BoundedSpinBox(1, 65535, 5, proxy);
    m_popPort->setObjectName(QStringLiteral("Edit10"));
    addRow(proxyForm, tr::SettingsProxySmtp, m_smtpProxy, -1);
    addRow(proxyForm, tr::SettingsSmtpPort, m_smtpPort, tr::SettingsExampleSmtpPort);
    addRow(proxyForm, tr::SettingsProxyPop, m_popProxy, -1);
    addRow(proxyForm, tr::SettingsPopPort, m_popPort, tr::SettingsExamplePopPort);
    proxyBox->addStretch();

    auto *advanced = new QWidget(m_tabs);
    auto *advancedBox = new QVBoxLayout(advanced);
    m_packets = new QCheckBox(advanced);
    m_packets->setObjectName(QStringLiteral("CheckBox_paquet"));
    advancedBox->addWidget(m_packets);
    auto *advancedForm = new QFormLayout;
    advancedBox->addLayout(advancedForm);
    m_packetSize = new BoundedSpinBox(1, kMaxPacketSize, 6, advanced);
    m_packetSize->setObjectName(QStringLiteral("Rx_taille_paquet"));
    m_packetSize->setSuffix(QString());
    m_packetPause = new BoundedSpinBox(1, kMaxPacketPause, 4, advanced);
    m_packetPause->setObjectName(QStringLiteral("Rx_tempo_paquet"));
    auto withUnit = [this, advanced](QWidget *w, int unit) {
        auto *row = new QWidget(advanced);
        auto *h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(w);
        auto *u = new QLabel(row);
        m_labels << u;
        m_labelTexts << [unit](int language) { return tr::text(unit, language); };
        h->addWidget(u);
        h->addStretch();
        return row;
    };
    QWidget *sizeRow = withUnit(m_packetSize, tr::SettingsMessagesUnit);
    QWidget *pauseRow = withUnit(m_packetPause, tr::SettingsMinutes);
    QLabel *sizeLabel = addRow(advancedForm, tr::SettingsPacketSize, sizeRow, -1);
    QLabel *pauseLabel = addRow(advancedForm, tr::SettingsPacketPause, pauseRow, -1);
    m_packetWidgets = {sizeRow, pauseRow, sizeLabel, pauseLabel};
    advancedBox->addStretch();

    m_tabs->addTab(email, QString());
    m_tabs->addTab(proxy, QString());
    m_tabs->addTab(advanced, QString());
    m_tabs->addTab(buildSecurityTab(), QString());

    m_save = new QPushButton(this);
    m_save->setObjectName(QStringLiteral("Btn_Enregistrer"));
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(ui::buttonRow({m_save, m_cancel}));

    connect(m_useProxy, &QCheckBox::toggled, this, &SettingsWindow::followCheckBoxes);
    connect(m_packets, &QCheckBox::toggled, this, &SettingsWindow::followCheckBoxes);
    connect(m_save, &QPushButton::clicked, this, &SettingsWindow::save);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    applyLanguage(tr::French);
    followCheckBoxes();
}

void SettingsWindow::applyLanguage(int language)
{
    setWindowTitle(tr::text(tr::SettingsCaption, language));
    m_tabs->setTabText(0, tr::text(tr::SettingsTabEmail, language));
    m_tabs->setTabText(1, tr::text(tr::SettingsTabProxy, language));
    m_tabs->setTabText(2, tr::text(tr::SettingsTabAdvanced, language));
    for (int i = 0; i < m_labels.size(); ++i)
        m_labels[i]->setText(m_labelTexts[i](language));
    m_language = language;
    m_tabs->setTabText(3, tr::text(tr::SettingsTabSecurity, language));
    const int groups[] = {tr::SettingsSmtpServer, tr::SettingsPopServer, tr::SettingsMessagesGroup};
    for (int i = 0; i < m_groups.size(); ++i)
        m_groups[i]->setTitle(tr::text(groups[i], language));
    for (QComboBox *box : {m_smtpSecurity, m_popSecurity})
        box->setItemText(0, tr::text(tr::SettingsSecurityNone, language));
    m_textAlternative->setText(tr::text(tr::SettingsTextAlternative, language));
    followSecurity();
    m_useProxy->setText(tr::text(tr::SettingsUseProxy, language));
    m_packets->setText(tr::text(tr::SettingsPackets, language));
    copyLook(m_save, tr::ButtonSave, language);
    copyLook(m_cancel, tr::ButtonCancel, language);
}

QLabel *SettingsWindow::addLabelledRow(QFormLayout *form, std::function<QString(int)> text, QWidget *w,
                                       int example)
{
    auto *label = new QLabel(this);
    m_labels << label;
    m_labelTexts << std::move(text);
    auto *box = new QVBoxLayout;
    box->setSpacing(0);
    box->addWidget(w);
    if (example >= 0) {
        QLabel *shown = hint(QString(), this);
        m_labels << shown;
        m_labelTexts << [example](int language) { return tr::text(example, language); };
        box->addWidget(shown);
    }
    form->addRow(label, box);
    return label;
}

QWidget *SettingsWindow::buildSecurityTab()
{
    auto *tab = new QWidget(m_tabs);
    auto *box = new QVBoxLayout(tab);
    auto group = [&](QFormLayout **form) {
        auto *g = new QGroupBox(tab);
        m_groups << g;
        *form = new QFormLayout(g);
        box->addWidget(g);
    };
    auto addRow = [this](QFormLayout *form, int entry, QWidget *w, int example) {
        addLabelledRow(form, [entry](int language) { return tr::text(entry, language); }, w, example);
    };
    auto security = [&](const char *name, const QLatin1StringView middle) {
        auto *c = new QComboBox(tab);
        c->setObjectName(QString::fromLatin1(name));
        c->addItem(QString(), QString(kSecurityNone));
        c->addItem(middle == kSecurityStls ? QStringLiteral("STLS") : QStringLiteral("STARTTLS"), QString(middle));
        c->addItem(QStringLiteral("TLS"), QString(kSecurityTls));
        connect(c, &QComboBox::currentIndexChanged, this, &SettingsWindow::followSecurity);
        return c;
    };
    auto port = [&](const char *name) {
        QLineEdit *e = field(name, tab);
        e->setValidator(new QIntValidator(1, 65535, e));
        return e;
    };
    // A file field with a button that opens a file chooser.
    auto fileField = [&](const char *name, QLineEdit **edit) {
        auto *row = new QWidget(tab);
        auto *h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        *edit = field(name, row);
        h->addWidget(*edit);
        auto *choose = new QToolButton(row);
        choose->setObjectName(QString::fromLatin1(name) + QStringLiteral("Choose"));
        choose->setText(QStringLiteral("..."));
        h->addWidget(choose);
        QLineEdit *target = *edit;
        connect(choose, &QToolButton::clicked, this, [this, target] {
            const QString path = QFileDialog::getOpenFileName(this, QString(), target->text());
            if (!path.isEmpty())
                target->setText(path);
        });
        return row;
    };

    QFormLayout *smtp = nullptr;
    group(&smtp);
    m_smtpSecurity = security("SmtpSecurity", kSecurityStartTls);
    m_smtpServerPort = port("SmtpServerPort");
    m_smtpLogin = field("SmtpLogin", tab);
    m_smtpPassword = field("SmtpPassword", tab);
    m_smtpPassword->setEchoMode(QLineEdit::Password);
    addRow(smtp, tr::SettingsSecurity, m_smtpSecurity, -1);
    addRow(smtp, tr::SettingsSmtpPort, m_smtpServerPort, -1);
    addRow(smtp, tr::SettingsLogin, m_smtpLogin, -1);
    addRow(smtp, tr::SettingsPassword, m_smtpPassword, -1);

    QFormLayout *pop = nullptr;
    group(&pop);
    m_popSecurity = security("PopSecurity", kSecurityStls);
    m_popServerPort = port("PopServerPort");
    addRow(pop, tr::SettingsSecurity, m_popSecurity, -1);
    addRow(pop, tr::SettingsPopPort, m_popServerPort, -1);
    addRow(pop, tr::SettingsCaFile, fileField("CaFile", &m_caFile), -1);

    QFormLayout *messages = nullptr;
    group(&messages);
    m_subscriptionAddress = field("SubscriptionAddress", tab);
    m_unsubscribeUrl = field("UnsubscribeUrl", tab);
    m_dkimSelector = field("DkimSelector", tab);
    m_dkimDomain = field("DkimDomain", tab);
    addRow(messages, tr::SettingsSubscriptionAddress, m_subscriptionAddress,
           tr::SettingsExampleSubscriptionAddress);
    addRow(messages, tr::SettingsUnsubscribeUrl, m_unsubscribeUrl,
           tr::SettingsExampleUnsubscribeUrl);
    addRow(messages, tr::SettingsDkimSelector, m_dkimSelector, tr::SettingsExampleDkimSelector);
    addRow(messages, tr::SettingsDkimDomain, m_dkimDomain, tr::SettingsExampleDkimDomain);
    addRow(messages, tr::SettingsDkimKeyFile, fileField("DkimKeyFile", &m_dkimKeyFile), -1);
    m_textAlternative = new QCheckBox(tab);
    m_textAlternative->setObjectName(QStringLiteral("TextAlternative"));
    messages->addRow(m_textAlternative);
    box->addStretch();
    return tab;
}

// The port fields show the port an empty field stands for.
void SettingsWindow::followSecurity()
{
    auto byDefault = [this](const QString &port) {
        return tr::text(tr::SettingsPortByDefault, m_language).arg(port);
    };
    const QString smtp = m_smtpSecurity->currentData().toString();
    m_smtpServerPort->setPlaceholderText(byDefault(smtp == kSecurityTls        ? QStringLiteral("465")
                                                   : smtp == kSecurityStartTls ? QStringLiteral("587")
                                                                               : QStringLiteral("25")));
    m_popServerPort->setPlaceholderText(
        byDefault(m_popSecurity->currentData().toString() == kSecurityTls ? QStringLiteral("995") : QStringLiteral("110")));
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    refresh();
    m_tabs->setCurrentIndex(0);
    QDialog::showEvent(event);
}

void SettingsWindow::refresh()
{
    Settings s;
    // Someone who has never saved settings gets the text alternative.
    if (!loadSettings(s))
        s.textAlternative = QStringLiteral("true");
    m_settings = s;
    m_senderName->setText(s.senderName);
    m_senderAddress->setText(s.senderAddress);
    m_redirection->setText(s.redirection);
    m_smtpServer->setText(s.smtpServer);
    m_popServer->setText(s.popServer);
    m_login->setText(s.login);
    m_password->setText(s.password);
    m_useProxy->setChecked(s.useProxy.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
    m_smtpProxy->setText(s.smtpProxy);
    m_popProxy->setText(s.popProxy);
    m_smtpPort->setValue(s.smtpProxyPort.toInt());
    m_popPort->setValue(s.popProxyPort.toInt());
    m_packets->setChecked(s.packetsOn());
    m_packetSize->setValue(s.packetSize);
    m_packetPause->setValue(s.packetPause);
    auto choose = [](QComboBox *box, QString value) {
        if (value.compare(kSecurityStartTls, Qt::CaseInsensitive) == 0)
            value = box->itemData(1).toString(); // "starttls" or "stls"
        const int at = box->findData(value.toLower());
        box->setCurrentIndex(at < 0 ? 0 : at);
    };
    choose(m_smtpSecurity, s.smtpSecurity);
    choose(m_popSecurity, s.popSecurity);
    m_smtpServerPort->setText(s.smtpServerPort);
    m_smtpLogin->setText(s.smtpLogin);
    m_smtpPassword->setText(s.smtpPassword);
    m_popServerPort->setText(s.popServerPort);
    m_caFile->setText(s.caFile);
    m_subscriptionAddress->setText(s.subscriptionAddress);
    m_unsubscribeUrl->setText(s.unsubscribeUrl);
    m_dkimSelector->setText(s.dkimSelector);
    m_dkimDomain->setText(s.dkimDomain);
    m_dkimKeyFile->setText(s.dkimKeyFile);
    m_textAlternative->setChecked(s.textAlternativeOn());
    followCheckBoxes();
    followSecurity();
}

void SettingsWindow::followCheckBoxes()
{
    for (QWidget *w : {static_cast<QWidget *>(m_smtpProxy), static_cast<QWidget *>(m_smtpPort),
                       static_cast<QWidget *>(m_popProxy), static_cast<QWidget *>(m_popPort)})
        w->setEnabled(m_useProxy->isChecked());
    for (QWidget *w : m_packetWidgets)
        w->setEnabled(m_packets->isChecked());
}

Settings SettingsWindow::fromFields() const
{
    Settings s = m_settings;
    s.senderName = m_senderName->text();
    s.senderAddress = m_senderAddress->text();
    s.redirection = m_redirection->text();
    s.smtpServer = m_smtpServer->text();
    s.popServer = m_popServer->text();
    s.login = m_login->text();
    s.password = m_password->text();
    s.useProxy = m_useProxy->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    s.smtpProxy = m_smtpProxy->text();
    s.popProxy = m_popProxy->text();
    s.smtpProxyPort = m_smtpPort->text();
    s.popProxyPort = m_popPort->text();
    s.packets = m_packets->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    s.packetSize = m_packetSize->value();
    s.packetPause = m_packetPause->value();
    s.available = QStringLiteral("true");
    s.smtpSecurity = m_smtpSecurity->currentData().toString();
    s.smtpServerPort = m_smtpServerPort->text();
    s.smtpLogin = m_smtpLogin->text().trimmed();
    s.smtpPassword = m_smtpPassword->text();
    s.popSecurity = m_popSecurity->currentData().toString();
    s.popServerPort = m_popServerPort->text();
    s.caFile = m_caFile->text().trimmed();
    s.subscriptionAddress = m_subscriptionAddress->text().trimmed();
    s.unsubscribeUrl = m_unsubscribeUrl->text().trimmed();
    s.dkimSelector = m_dkimSelector->text().trimmed();
    s.dkimDomain = m_dkimDomain->text().trimmed();
    s.dkimKeyFile = m_dkimKeyFile->text().trimmed();
    s.textAlternative = m_textAlternative->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    return s;
}

void SettingsWindow::save()
{
    // A spin field still being typed in is read as its user left it.
    m_packetSize->interpretText();
    m_packetPause->interpretText();
    const Settings s = fromFields();
    if (const std::optional<int> refusal = checkSettings(s)) {
        m_asker.ask(DialogKind::Ok, tr::text(*refusal));
        return;
    }
    QString key;
    if (const QString refusal = checkMailSettings(s, &key); !refusal.isEmpty()) {
        // The tab of the field refused: the sender's, the proxy's, or the fourth.
        static const QStringList firstTab{"expediteur", "boite", "redirection"};
        static const QStringList proxyTab{"PortSmtp", "PortPop"};
        m_tabs->setCurrentIndex(firstTab.contains(key) ? 0 : proxyTab.contains(key) ? 1 : 3);
        m_asker.ask(DialogKind::Ok, refusal);
        return;
    }
    if (m_asker.ask(DialogKind::SettingsYesNo, tr::text(tr::AskSaveSettings)) != Answer::Yes)
        return;
    makeFolder(dataFolder());
    QString error;
    if (!saveSettings(s, settingsPath(), &error)) {
        m_asker.ask(DialogKind::Ok, texts::text(texts::SettingsNotSaved) + error);
        return;
    }
    m_settings = s;
    accept();
}

} // namespace kirvane::sending
