#pragma once
// A French design text with its English twin, for the captions of the shell's
// own windows. Which of the two is shown follows the language pass: windows are
// built with the French text and the pass applies the active language.

#include <QString>

namespace kirvane::ui {

struct Bilingual {
    static constexpr int French = 1;
    static constexpr int English = 2;

    const char *fr = "";
    const char *en = "";

    [[nodiscard]] QString in(int language) const
    {
        return QString::fromUtf8(language == French ? fr : en);
    }
};

// The texts of the table keep the lines of a message joined by LF CR, window
// designs by CR LF; a text box wants plain line feeds.
[[nodiscard]] inline QString displayLines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace kirvane::ui
