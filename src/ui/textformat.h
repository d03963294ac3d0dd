#pragma once
// Formatting helpers shared by the windows that show formatted text.

class QTextEdit;

namespace kirvane::ui {

// Selects all the text of editor and makes it plain: no bold, italic or
// underline, black, 8 points, in the editor's own font family. The selection
// is left covering the whole text.
void resetTextFormatting(QTextEdit *editor);

} // namespace kirvane::ui
