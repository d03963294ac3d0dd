#pragma once
// SplashScreen: the borderless, always-on-top start-up picture, centred
// on the screen.

#include <QWidget>

namespace kirvane::shell {

class SplashScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 606;
    static constexpr int kHeight = 470;

    explicit SplashScreen(QWidget *parent = nullptr);

    // Centres the window on its screen in whole pixels, shows it and paints it at once.
    void showCentred();
    // Keeps the window up for ms milliseconds while events go on.
    void wait(int ms);

    // The picture shown.
    [[nodiscard]] static QPixmap picture();

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace kirvane::shell
