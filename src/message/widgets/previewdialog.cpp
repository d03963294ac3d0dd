#include "message/widgets/previewdialog.h"

#include "message/widgets/dialogbuttons.h"
#include "message/widgets/htmlview.h"
#include "message/widgets/rememberedstate.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::message {

using namespace kirvane::texts;
using namespace kirvane::ui;

PreviewDialog::PreviewDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialogue_visualiser_msg"));
    setWindowModality(Qt::WindowModal);
    setSizeGripEnabled(true);
    const QSize kept = remembered::size(QStringLiteral("preview_size"));
    resize(kept.isValid() ? kept : QSize(760, 560));
    m_html = new HtmlView(this);
    m_html->setObjectName(QStringLiteral("WebBrowser1"));
    m_close = dialogButton("Btn_fermer", this);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_html, 1);
    layout->addLayout(buttonRow({m_close}));
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, [this] { remembered::setSize(QStringLiteral("preview_size"), size()); });
    applyLanguage(French);
}

void PreviewDialog::showPage(const QString &path)
{
    open();
    m_html->showFile(path);
}

void PreviewDialog::applyLanguage(int language)
{
    setWindowTitle(text(PreviewCaption, language));
    copyLook(m_close, ButtonClose, language);
}

} // namespace kirvane::message
