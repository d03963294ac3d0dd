#pragma once
// Placeholders: words between ampersands that stand for one field of a
// contact. Two sets exist, one per interface language; the set of the active
// language is used both for inserting and for filling, so a message written
// under one language is personalised only under that language.

#include "store/contactrecord.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace kirvane::message {

enum class PlaceholderLanguage { French, English };

// The language in force; English unless the shell changes it.
[[nodiscard]] PlaceholderLanguage activePlaceholderLanguage();
void setActivePlaceholderLanguage(PlaceholderLanguage language);

struct Placeholder {
    QString menuFrench;
    QString menuEnglish;
    QString french;  // "&nom&"
    QString english; // "&name&"
    int slot;        // element of store::ContactRecord
    [[nodiscard]] const QString &menu(PlaceholderLanguage l) const { return l == PlaceholderLanguage::French ? menuFrench : menuEnglish; }
    [[nodiscard]] const QString &word(PlaceholderLanguage l) const { return l == PlaceholderLanguage::French ? french : english; }
};

// The seventeen placeholders in the order of the insert-field menu.
[[nodiscard]] const std::vector<Placeholder> &placeholderMenu();

// Replaces every placeholder of the language's set, case exactly, in a fixed
// order; a value holding a placeholder of a later step is replaced again by
// that step. Values go in unchanged (no HTML escaping).
[[nodiscard]] QString personalise(QString text, const store::ContactRecord &contact,
                                  PlaceholderLanguage language = activePlaceholderLanguage());

// Personalises each line on its own, so a placeholder split over two lines
// stays as it is. beforeLine, when given, runs before each line (the sending
// window lets pending events run there).
[[nodiscard]] QStringList personaliseLines(QStringList lines, const store::ContactRecord &contact,
                                           PlaceholderLanguage language = activePlaceholderLanguage(),
                                           const std::function<void()> &beforeLine = {});

} // namespace kirvane::message
