#include "shell/splashscreen.h"

#include "shell/icons.h"

#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace kirvane::shell {

SplashScreen::SplashScreen(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("f_splashscreen_uk"));
    setFixedSize(kWidth, kHeight);
}

void SplashScreen::showCentred()
{
    if (const QScreen *s = screen()) {
        const QRect g = s->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }
    show();
    repaint();
}

void SplashScreen::wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QPixmap SplashScreen::picture()
{
    QPixmap pixmap(kWidth, kHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(0x1d, 0x3f, 0x6e));
    sky.setColorAt(1, QColor(0x4d, 0x8a, 0xc4));
    p.fillRect(pixmap.rect(), sky);

    // A flight of letters across the lower half, clear of the title.
    p.setOpacity(0.22);
    for (int i = 0; i < 7; ++i) {
        const int size = 30 + i * 9;
        p.drawPixmap(30 + i * 80, 400 - i * 24 - size, glyphPixmap(Glyph::Envelope, size));
    }
    p.setOpacity(1.0);
    p.drawPixmap(60, 70, glyphPixmap(Glyph::Envelope, 150));

    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPointSize(44);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(230, 80, 360, 80), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kirvane"));
    QFont subtitle = p.font();
    subtitle.setPointSize(15);
    subtitle.setBold(false);
    p.setFont(subtitle);
    p.drawText(QRect(232, 160, 360, 60), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Newsletters to your address books"));
    QFont small = p.font();
    small.setPointSize(10);
    p.setFont(small);
    p.drawText(QRect(0, kHeight - 40, kWidth - 20, 30), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Version %1").arg(QStringLiteral(KIRVANE_VERSION)));
    return pixmap;
}

void SplashScreen::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, picture());
}

} // namespace kirvane::shell
