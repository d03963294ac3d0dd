#pragma once
// The preview window: the message as one recipient will see it, the subject
// and the recipient above the page, Previous and Next to step through the
// recipients, and one Close button. Its size is kept from one showing to the
// next; it is never narrower than a newsletter 600 pixels wide needs.

#include <QDialog>

class QLabel;
class QPushButton;

namespace kirvane::message {

class HtmlView;
struct PreviewPage;

class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreviewDialog(QWidget *parent = nullptr);

    // Shows page, the recipient at position (0-based) of count, window-modal.
    void showPreview(const PreviewPage &page, int position, int count);
    [[nodiscard]] HtmlView *htmlView() const { return m_html; }
    void applyLanguage(int language);

Q_SIGNALS:
    // Previous (-1) or Next (+1) was pressed.
    void stepRequested(int step);

private:
    HtmlView *m_html;
    QLabel *m_subjectCaption, *m_subject, *m_recipientCaption, *m_recipient, *m_position;
    QPushButton *m_previous, *m_next, *m_close;
    int m_language = 1;
    int m_shownPosition = 0, m_shownCount = 0;
};

} // namespace kirvane::message
