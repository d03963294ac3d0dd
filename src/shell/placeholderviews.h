#pragma once
// The views as they stand before their subsystems provide them: each says
// which view it is and that it holds nothing yet, and provides no command.

#include "shell/translations.h"
#include "shell/ui/views.h"

class QLabel;

namespace kirvane {

// The note a placeholder view shows, in the language applied.
class PlaceholderNote {
public:
    PlaceholderNote(QFrame *view, int titleEntry);
    void applyLanguage(int language);

private:
    QLabel *m_label;
    int m_title;
};

template<typename View>
class PlaceholderView : public View {
public:
    explicit PlaceholderView(int titleEntry, QWidget *parent = nullptr)
        : View(parent)
        , m_note(this, titleEntry)
    {
    }
    void applyLanguage(int language) override { m_note.applyLanguage(language); }

private:
    PlaceholderNote m_note;
};

class TFrame_contact : public PlaceholderView<ContactsView> {
public:
    explicit TFrame_contact(QWidget *parent = nullptr) : PlaceholderView(translation::ViewContact, parent) {}
};

class TFrame_directory : public PlaceholderView<DirectoryView> {
public:
    explicit TFrame_directory(QWidget *parent = nullptr) : PlaceholderView(translation::ViewBooks, parent) {}
};

class TFrame_message : public PlaceholderView<MessageView> {
public:
    explicit TFrame_message(QWidget *parent = nullptr) : PlaceholderView(translation::ViewMessage, parent) {}
};

class TFrame_historique : public PlaceholderView<HistoryView> {
public:
    explicit TFrame_historique(QWidget *parent = nullptr) : PlaceholderView(translation::ViewHistory, parent) {}
};

} // namespace kirvane
