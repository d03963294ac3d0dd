#include "shell/tf_traduction.h"

#include <QStringList>

namespace kirvane {

void TF_traduction::add(const QString &window, std::function<void(int)> applyLanguage)
{
    m_windows.push_back({window, std::move(applyLanguage)});
}

QStringList TF_traduction::apply(int language) const
{
    QStringList done;
    for (const Window &w : m_windows) {
        w.apply(language);
        done << w.name;
    }
    return done;
}

} // namespace kirvane
