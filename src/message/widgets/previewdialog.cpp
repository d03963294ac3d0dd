#include "message/widgets/previewdialog.h"

#include "message/preview.h"
#include "message/widgets/htmlview.h"
#include "message/widgets/rememberedstate.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kirvane::message {

using namespace kirvane::texts;
using namespace kirvane::ui;

namespace {
// A newsletter is laid out 600 pixels wide; the page's margins and a vertical
// scroll bar come on top.
constexpr int kNewsletterWidth = 600;
constexpr int kPageMargins = 60;
} // namespace

PreviewDialog::PreviewDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Dialogue_visualiser_msg"));
    setWindowModality(Qt::WindowModal);
    setSizeGripEnabled(true);
    m_html = new HtmlView(this);
    m_html->setObjectName(QStringLiteral("WebBrowser1"));
    m_html->setMinimumWidth(kNewsletterWidth + kPageMargins);
    const QSize kept = remembered::size(QStringLiteral("preview_size"));
    resize(kept.isValid() ? kept : QSize(760, 600));
    m_subjectCaption = namedLabel("Label_sujet", this);
    m_subject = namedLabel("Edit_sujet", this);
    m_recipientCaption = namedLabel("Label_destinataire", this);
    m_recipient = namedLabel("Edit_destinataire", this);
    for (QLabel *value : {m_subject, m_recipient}) {
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    QFont bold = m_subject->font();
    bold.setBold(true);
    m_subject->setFont(bold);
    m_position = namedLabel("Label_position", this);
    m_previous = namedButton("btn_precedent", this);
    m_next = namedButton("btn_suivant", this);
    m_close = namedButton("Btn_fermer", this);

    auto *heading = new QGridLayout;
    heading->addWidget(m_subjectCaption, 0, 0);
    heading->addWidget(m_subject, 0, 1);
    heading->addWidget(m_recipientCaption, 1, 0);
    heading->addWidget(m_recipient, 1, 1);
    heading->setColumnStretch(1, 1);
    auto *buttons = buttonRow({m_close}, m_close);
    buttons->insertWidget(0, m_previous);
    buttons->insertWidget(1, m_next);
    buttons->insertWidget(2, m_position);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(m_html, 1);
    layout->addLayout(buttons);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_previous, &QPushButton::clicked, this, [this] { Q_EMIT stepRequested(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { Q_EMIT stepRequested(1); });
    connect(this, &QDialog::finished, this, [this] { remembered::setSize(QStringLiteral("preview_size"), size()); });
    applyLanguage(French);
}

void PreviewDialog::showPreview(const PreviewPage &page, int position, int count)
{
    m_subject->setText(page.subject);
    m_recipient->setText(page.recipient);
    m_shownPosition = position;
    m_shownCount = count;
    m_position->setText(count > 0 ? text(PreviewPosition, m_language).arg(position + 1).arg(count) : QString());
    m_previous->setEnabled(position > 0);
    m_next->setEnabled(position + 1 < count);
    if (!isVisible())
        open();
    m_html->showFile(page.path);
}

void PreviewDialog::applyLanguage(int language)
{
    m_language = language;
    setWindowTitle(text(PreviewCaption, language));
    // French sets a space before the colon, English none.
    const QString colon = language == French ? QStringLiteral(" :") : QStringLiteral(":");
    m_subjectCaption->setText(text(HistorySubject, language) + colon);
    m_recipientCaption->setText(text(PreviewRecipient, language) + colon);
    if (m_shownCount > 0)
        m_position->setText(text(PreviewPosition, language).arg(m_shownPosition + 1).arg(m_shownCount));
    copyLook(m_previous, ButtonPrevious, language);
    copyLook(m_next, ButtonNext, language);
    copyLook(m_close, ButtonClose, language);
}

} // namespace kirvane::message
