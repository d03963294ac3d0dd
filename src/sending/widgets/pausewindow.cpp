#include "sending/widgets/pausewindow.h"

#include "texts/texttable.h"
#include "ui/buttonlook.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::sending {

using namespace kirvane::texts;
using namespace kirvane::ui;

namespace tr = texts;

PauseWindow::PauseWindow(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TEmporise"));
    setModal(false);
    setWindowTitle(QStringLiteral("Kirvane"));
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("Label1"));
    m_text->setAlignment(Qt::AlignCenter);
    m_stop = new QPushButton(this);
    m_stop->setObjectName(QStringLiteral("Btn_arreter"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_stop, 0, Qt::AlignCenter);
    connect(m_stop, &QPushButton::clicked, this, &PauseWindow::stopAndSaveRequested);
    applyLanguage(tr::French);
}

void PauseWindow::applyLanguage(int language)
{
    m_text->setText(tr::text(tr::PauseText, language));
    copyLook(m_stop, tr::PauseStopAndSave, language);
}

} // namespace kirvane::sending
