#include "shell/emptyviews.h"

#include "texts/texttable.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kirvane::shell {

using namespace kirvane::texts;
using namespace kirvane::ui;

EmptyViewNote::EmptyViewNote(QFrame *view, int titleEntry)
    : m_label(new QLabel(view))
    , m_title(titleEntry)
{
    m_label->setObjectName(QStringLiteral("Label_empty_view"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setEnabled(false);
    auto *layout = new QVBoxLayout(view);
    layout->addWidget(m_label);
    applyLanguage(texts::French);
}

void EmptyViewNote::applyLanguage(int language)
{
    m_label->setText(QStringLiteral("<h2>%1</h2><p>%2</p>")
                         .arg(texts::text(m_title, language).toHtmlEscaped(),
                              texts::text(ViewNotAvailable, language).toHtmlEscaped()));
}

} // namespace kirvane::shell
