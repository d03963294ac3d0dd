#pragma once
// LanguagePass: the interface-language pass, run once at start-up after every
// window exists. Windows are built with their French design texts; the pass
// gives each, in the order they were registered, the active language.

#include "texts/texttable.h"

#include <QString>

#include <functional>
#include <vector>

namespace kirvane::shell {

class LanguagePass {
public:
    void add(const QString &window, std::function<void(int language)> applyLanguage);
    // Applies language to every registered window; returns their names in order.
    QStringList apply(int language = texts::ActiveLanguage) const;

private:
    struct Window {
        QString name;
        std::function<void(int)> apply;
    };
    std::vector<Window> m_windows;
};

} // namespace kirvane::shell
