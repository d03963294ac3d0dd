#pragma once
// The tool-bar frame at the top of the main window: the four view buttons,
// one group with exactly one pressed, and one tool bar per view of which the
// current view's is shown. The buttons of a tool bar are the main window's
// command actions; the frame only lays them out.

#include <QFrame>

#include <array>
#include <functional>

class QAction;
class QButtonGroup;
class QToolBar;
class QToolButton;

namespace kirvane::shell {

class ToolBarFrame : public QFrame {
    Q_OBJECT
public:
    // action(name) gives the main window's action for a command name.
    ToolBarFrame(const std::function<QAction *(const QString &)> &action, QWidget *parent = nullptr);

    // All tool bars at the top, the contacts button pressed.
    void reset();
    // Presses the view's button and shows its tool bar (1 to 4; other numbers change nothing).
    void setCurrentView(int view);
    [[nodiscard]] QToolBar *toolBar(int view) const { return m_toolBars[view - 1]; }
    [[nodiscard]] QToolButton *viewButton(int view) const { return m_viewButtons[view - 1]; }

    void applyLanguage(int language);

Q_SIGNALS:
    // The user pressed a view button.
    void viewButtonClicked(int view);

private:
    QButtonGroup *m_group = nullptr;
    std::array<QToolButton *, 4> m_viewButtons{};
    std::array<QToolBar *, 4> m_toolBars{};
};

} // namespace kirvane::shell
