#pragma once
// TF_traduction: the interface-language pass, run once at start-up after every
// window exists. Windows are built with their French design texts; the pass
// gives each, in the order they were registered, the active language.

#include <QString>

#include <functional>
#include <vector>

namespace kirvane {

class TF_traduction {
public:
    // The language every user sees: English.
    static constexpr int kActiveLanguage = 2;

    void add(const QString &window, std::function<void(int language)> applyLanguage);
    // Applies language to every registered window; returns their names in order.
    QStringList apply(int language = kActiveLanguage) const;

private:
    struct Window {
        QString name;
        std::function<void(int)> apply;
    };
    std::vector<Window> m_windows;
};

} // namespace kirvane
