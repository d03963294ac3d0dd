#pragma once
// The views the main window shows where it was given none (a window built
// with some of the views only, as tests build it): each says which view it is
// and that it holds nothing, and provides no command.

#include "texts/texttable.h"
#include "ui/views.h"

class QLabel;

namespace kirvane::shell {

// The note an empty view shows, in the language applied.
class EmptyViewNote {
public:
    EmptyViewNote(QFrame *view, int titleEntry);
    void applyLanguage(int language);

private:
    QLabel *m_label;
    int m_title;
};

template<typename View>
class EmptyView : public View {
public:
    explicit EmptyView(int titleEntry, QWidget *parent = nullptr)
        : View(parent)
        , m_note(this, titleEntry)
    {
    }
    void applyLanguage(int language) override { m_note.applyLanguage(language); }

private:
    EmptyViewNote m_note;
};

class EmptyContactsView : public EmptyView<ui::ContactsViewFrame> {
public:
    explicit EmptyContactsView(QWidget *parent = nullptr) : EmptyView(texts::ViewContact, parent) {}
};

class EmptyDirectoryView : public EmptyView<ui::DirectoryViewFrame> {
public:
    explicit EmptyDirectoryView(QWidget *parent = nullptr) : EmptyView(texts::ViewBooks, parent) {}
};

class EmptyMessageView : public EmptyView<ui::MessageViewFrame> {
public:
    explicit EmptyMessageView(QWidget *parent = nullptr) : EmptyView(texts::ViewMessage, parent) {}
};

class EmptyHistoryView : public EmptyView<ui::HistoryViewFrame> {
public:
    explicit EmptyHistoryView(QWidget *parent = nullptr) : EmptyView(texts::ViewHistory, parent) {}
};

} // namespace kirvane::shell
