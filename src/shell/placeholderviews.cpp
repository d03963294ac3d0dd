#include "shell/placeholderviews.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kirvane {

namespace {
constexpr Bilingual kNotYet{"Cette vue n'est pas encore disponible dans cette version.",
                            "This view is not available in this version yet."};
}

PlaceholderNote::PlaceholderNote(QFrame *view, Bilingual title)
    : m_label(new QLabel(view))
    , m_title(title)
{
    m_label->setObjectName(QStringLiteral("Label_placeholder"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setWordWrap(true);
    m_label->setEnabled(false);
    auto *layout = new QVBoxLayout(view);
    layout->addWidget(m_label);
    applyLanguage(Bilingual::French);
}

void PlaceholderNote::applyLanguage(int language)
{
    m_label->setText(QStringLiteral("<h2>%1</h2><p>%2</p>")
                         .arg(m_title.in(language).toHtmlEscaped(), kNotYet.in(language).toHtmlEscaped()));
}

} // namespace kirvane
