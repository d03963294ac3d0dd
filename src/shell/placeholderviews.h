#pragma once
// The views as they stand before their subsystems provide them: each says
// which view it is and that it holds nothing yet, and provides no command.

#include "texts/texttable.h"
#include "ui/views.h"

class QLabel;

namespace kirvane::shell {

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

class PlaceholderContactsView : public PlaceholderView<ui::ContactsView> {
public:
    explicit PlaceholderContactsView(QWidget *parent = nullptr) : PlaceholderView(texts::ViewContact, parent) {}
};

class PlaceholderDirectoryView : public PlaceholderView<ui::DirectoryView> {
public:
    explicit PlaceholderDirectoryView(QWidget *parent = nullptr) : PlaceholderView(texts::ViewBooks, parent) {}
};

class PlaceholderMessageView : public PlaceholderView<ui::MessageView> {
public:
    explicit PlaceholderMessageView(QWidget *parent = nullptr) : PlaceholderView(texts::ViewMessage, parent) {}
};

class PlaceholderHistoryView : public PlaceholderView<ui::HistoryView> {
public:
    explicit PlaceholderHistoryView(QWidget *parent = nullptr) : PlaceholderView(texts::ViewHistory, parent) {}
};

} // namespace kirvane::shell
