#pragma once
// Placeholders: words between ampersands that stand for one field of a
// contact. Two sets exist, one per interface language; the set of the active
// language is used both for inserting and for filling, so a message written
// under one language is personalised only under that language.

#include "message/messagedocument.h"
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

// How a contact's value goes into the text it fills.
enum class ValueForm {
    AsTyped,     // the subject and a plain-text body
    HtmlEscaped, // an HTML body: the value shows as typed and adds no markup
    UrlEncoded,  // a web address: the value percent-encoded in UTF-8, so it
                 // can neither end the address nor add a parameter
};

// The form of the values in the body of a message in mode: escaped in the
// HTML of the rich-text and HTML-file modes.
[[nodiscard]] ValueForm bodyValueForm(ComposeMode mode);

// Replaces every placeholder of the language's set, case exactly, in a fixed
// order; a value holding a placeholder of a later step is replaced again by
// that step. Values go in as form says.
[[nodiscard]] QString personalise(QString text, const store::ContactRecord &contact,
                                  PlaceholderLanguage language = activePlaceholderLanguage(),
                                  ValueForm form = ValueForm::AsTyped);

// Personalises each line on its own, so a placeholder split over two lines
// stays as it is. beforeLine, when given, runs before each line (the sending
// window lets pending events run there). The sending run and the preview pass
// bodyValueForm() of the message's mode.
[[nodiscard]] QStringList personaliseLines(QStringList lines, const store::ContactRecord &contact, ValueForm form,
                                           PlaceholderLanguage language = activePlaceholderLanguage(),
                                           const std::function<void()> &beforeLine = {});
// The same with values as typed.
[[nodiscard]] QStringList personaliseLines(QStringList lines, const store::ContactRecord &contact,
                                           PlaceholderLanguage language = activePlaceholderLanguage(),
                                           const std::function<void()> &beforeLine = {});

// Text for HTML: "<", ">", "&", and quotes as entities, except the ampersands
// of placeholder words of either set, which stay so that they are filled.
[[nodiscard]] QString htmlEscapedKeepingPlaceholders(QStringView text);
// The length of the placeholder word of either set that starts at text[at],
// or 0.
[[nodiscard]] qsizetype placeholderWordAt(QStringView text, qsizetype at);

} // namespace kirvane::message
