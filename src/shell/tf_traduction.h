#pragma once
// TF_traduction: the interface-language pass, run once at start-up after every
// window exists. Windows are built with their French design texts; the pass
// gives each, in the order they were registered, the active language.

#include "shell/translations.h"

#include <QString>

#include <functional>
#include <vector>

namespace kirvane {

class TF_traduction {
public:
    void add(const QString &window, std::function<void(int language)> applyLanguage);
    // Applies language to every registered window; returns their names in order.
    QStringList apply(int language = translation::ActiveLanguage) const;

private:
    struct Window {
        QString name;
        std::function<void(int)> apply;
    };
    std::vector<Window> m_windows;
};

} // namespace kirvane
