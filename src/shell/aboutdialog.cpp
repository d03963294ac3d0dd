#include "shell/aboutdialog.h"

#include "common/product.h"
#include "shell/icons.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::shell {

using namespace kirvane::texts;
using namespace kirvane::ui;

namespace {
using namespace kirvane::texts;

} // namespace

AboutDialog::AboutDialog(const QString &programFolder, const QString &version, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_programFolder(programFolder)
    , m_version(version)
{
    setObjectName(QStringLiteral("F_a_propos"));
    setModal(true);
    setWindowTitle(QStringLiteral("Kirvane"));
    startProgram = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };

    auto *picture = new QLabel(this);
    picture->setPixmap(glyphPixmap(Glyph::Envelope, 96));
    auto *name = new QLabel(QStringLiteral("<h1>Kirvane</h1>"), this);
    m_versionCaption = new QLabel(this);
    auto *versionValue = new QLabel(version, this);
    versionValue->setObjectName(QStringLiteral("Label_version"));
    versionValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_publisher = new QLabel(this);
    auto *web = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(common::kProductWebAddress)), this);
    web->setObjectName(QStringLiteral("Label_site"));
    web->setOpenExternalLinks(true); // the desktop's browser

    auto *details = new QGridLayout;
    details->addWidget(name, 0, 0, 1, 2);
    details->addWidget(m_versionCaption, 1, 0);
    details->addWidget(versionValue, 1, 1);
    details->addWidget(m_publisher, 2, 0, 1, 2);
    details->addWidget(web, 3, 0, 1, 2);
    details->setColumnStretch(1, 1);

    auto *top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(details, 1);

    m_update = new QPushButton(this);
    m_update->setObjectName(QStringLiteral("btn_Mettre_a_jour"));
    m_close = new QPushButton(this);
    m_close->setObjectName(QStringLiteral("Btn_Fermer"));
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_update, &QPushButton::clicked, this, &AboutDialog::startUpdater);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(ui::buttonRow({m_update, m_close}, m_close));
    applyLanguage(French);
}

void AboutDialog::applyLanguage(int language)
{
    m_versionCaption->setText(text(AboutVersion, language));
    m_publisher->setText(text(AboutPublisher, language));
    copyLook(m_close, ButtonClose, language);
    copyLook(m_update, ButtonUpdate, language);
}

QString AboutDialog::updaterPath() const
{
    return m_programFolder + QStringLiteral("/updater");
}

void AboutDialog::showEvent(QShowEvent *event)
{
    // Without an updater the update command cannot do anything: say so by
    // greying it rather than by a button that does nothing.
    const QFileInfo updater(updaterPath());
    m_update->setEnabled(updater.isFile() && updater.isExecutable());
    QDialog::showEvent(event);
}

void AboutDialog::startUpdater()
{
    const QFileInfo updater(updaterPath());
    if (!updater.isFile() || !updater.isExecutable())
        return;
    if (mayEnd && !mayEnd())
        return;
    if (!startProgram(updater.filePath(), {QString::fromLatin1(kProductId), m_version}))
        return;
    accept();
    Q_EMIT updaterStarted();
}

} // namespace kirvane::shell
