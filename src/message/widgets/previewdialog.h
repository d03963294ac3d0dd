#pragma once
// The preview window: the message as its first recipient will see it, in an
// HTML area, with one Close button. Its size is kept from one showing to the
// next.

#include <QDialog>

class QPushButton;

namespace kirvane::message {

class HtmlView;

class PreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreviewDialog(QWidget *parent = nullptr);

    // Shows the page at path, window-modal.
    void showPage(const QString &path);
    [[nodiscard]] HtmlView *htmlView() const { return m_html; }
    void applyLanguage(int language);

private:
    HtmlView *m_html;
    QPushButton *m_close;
};

} // namespace kirvane::message
