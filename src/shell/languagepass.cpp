#include "shell/languagepass.h"

#include <QStringList>

namespace kirvane::shell {

using namespace kirvane::texts;

void LanguagePass::add(const QString &window, std::function<void(int)> applyLanguage)
{
    m_windows.push_back({window, std::move(applyLanguage)});
}

QStringList LanguagePass::apply(int language) const
{
    QStringList done;
    for (const Window &w : m_windows) {
        w.apply(language);
        done << w.name;
    }
    return done;
}

} // namespace kirvane::shell
