#include "shell/icons.h"

#include <QPainter>
#include <QPainterPath>

namespace kirvane::shell {

namespace {

const QColor kInk(0x33, 0x4a, 0x66);
const QColor kPaper(0xfd, 0xfd, 0xf8);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kRed(0xc0, 0x39, 0x2b);
const QColor kBlue(0x2f, 0x6f, 0xb3);
const QColor kAmber(0xe0, 0x9b, 0x2d);

void page(QPainter &p, QRectF r)
{
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setPen(QPen(kInk.lighter(160), 1.2));
    for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 4)
        p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
}

void badge(QPainter &p, const QColor &c, QPointF centre)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(centre, 7, 7);
}

void plusSign(QPainter &p, QPointF c, const QColor &colour)
{
    badge(p, colour, c);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
    p.drawLine(c + QPointF(0, -4), c + QPointF(0, 4));
}

void crossSign(QPainter &p, QPointF c)
{
    badge(p, kRed, c);
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-3.5, -3.5), c + QPointF(3.5, 3.5));
    p.drawLine(c + QPointF(-3.5, 3.5), c + QPointF(3.5, -3.5));
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &c, qreal width = 3)
{
    p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF shaft(to, from);
    QLineF a = shaft;
    a.setLength(7);
    a.setAngle(shaft.angle() + 35);
    QLineF b = shaft;
    b.setLength(7);
    b.setAngle(shaft.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void envelope(QPainter &p, QRectF r)
{
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(kPaper);
    p.drawRect(r);
    p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + 2));
    p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + 2));
}

void person(QPainter &p, QPointF head, qreal scale, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(head, 5 * scale, 5 * scale);
    QPainterPath body;
    body.moveTo(head + QPointF(-10 * scale, 17 * scale));
    body.cubicTo(head + QPointF(-10 * scale, 6 * scale), head + QPointF(10 * scale, 6 * scale),
                 head + QPointF(10 * scale, 17 * scale));
    body.closeSubpath();
    p.drawPath(body);
}

void folder(QPainter &p, QRectF r)
{
    p.setPen(QPen(kAmber.darker(140), 1.4));
    p.setBrush(kAmber);
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 3);
    path.lineTo(r.left() + 9, r.top() + 3);
    path.lineTo(r.left() + 12, r.top() + 6);
    path.lineTo(r.right(), r.top() + 6);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.drawPath(path);
}

void draw(QPainter &p, Glyph g)
{
    switch (g) {
    case Glyph::Plus:
        person(p, {13, 9}, 1.0, kBlue);
        plusSign(p, {24, 23}, kGreen);
        break;
    case Glyph::Copy:
        page(p, {4, 3, 16, 20});
        page(p, {12, 9, 16, 20});
        break;
    case Glyph::Move:
        page(p, {3, 6, 14, 19});
        arrow(p, {15, 22}, {29, 12}, kBlue);
        break;
    case Glyph::Pencil: {
        page(p, {4, 4, 18, 24});
        p.setPen(QPen(kAmber.darker(130), 5, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(28, 8), QPointF(14, 24));
        p.setPen(QPen(kInk, 2));
        p.drawLine(QPointF(14, 24), QPointF(12, 28));
        break;
    }
    case Glyph::Cross:
        person(p, {13, 9}, 1.0, kBlue);
        crossSign(p, {24, 23});
        break;
    case Glyph::Magnifier:
        p.setPen(QPen(kInk, 3));
        p.setBrush(QColor(0xd6, 0xe8, 0xf7));
        p.drawEllipse(QPointF(13, 13), 8, 8);
        p.setPen(QPen(kInk, 4.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(19, 19), QPointF(28, 28));
        break;
    case Glyph::Merge:
        person(p, {9, 7}, 0.7, kBlue);
        person(p, {9, 20}, 0.7, kBlue);
        arrow(p, {17, 16}, {29, 16}, kGreen);
        break;
    case Glyph::Printer:
        p.setPen(QPen(kInk, 1.6));
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 3, 14, 10));
        p.setBrush(kInk.lighter(150));
        p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 19, 14, 10));
        break;
    case Glyph::FolderPlus:
        folder(p, {3, 5, 24, 20});
        plusSign(p, {24, 23}, kGreen);
        break;
    case Glyph::Fields:
        page(p, {4, 3, 24, 26});
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        for (int i = 0; i < 4; ++i)
            p.drawRect(QRectF(8, 7 + i * 5.5, 5, 3.5));
        break;
    case Glyph::Import:
        folder(p, {3, 12, 26, 17});
        arrow(p, {16, 1}, {16, 19}, kGreen);
        break;
    case Glyph::Export:
        folder(p, {3, 12, 26, 17});
        arrow(p, {16, 21}, {16, 2}, kBlue);
        break;
    case Glyph::Refresh: {
        p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 5, 22, 22), 30 * 16, 270 * 16);
        arrow(p, {24, 6}, {25.5, 10}, kGreen);
        break;
    }
    case Glyph::Page:
        page(p, {7, 3, 18, 26});
        plusSign(p, {24, 24}, kGreen);
        break;
    case Glyph::Open:
        folder(p, {3, 7, 26, 21});
        page(p, {9, 3, 14, 13});
        break;
    case Glyph::Save:
        p.setPen(QPen(kInk, 1.6));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 4, 14, 9));
        p.drawRect(QRectF(8, 18, 16, 10));
        break;
    case Glyph::Resume:
        envelope(p, {3, 8, 20, 15});
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF({QPointF(19, 16), QPointF(30, 23), QPointF(19, 30)}));
        break;
    case Glyph::Envelope:
        envelope(p, {2, 8, 22, 16});
        arrow(p, {18, 26}, {30, 14}, kGreen);
        break;
    case Glyph::Left:
        arrow(p, {27, 16}, {5, 16}, kBlue, 4);
        break;
    case Glyph::Right:
        arrow(p, {5, 16}, {27, 16}, kBlue, 4);
        break;
    case Glyph::Trash:
        p.setPen(QPen(kInk, 1.6));
        p.setBrush(QColor(0xcf, 0xd6, 0xde));
        p.drawRect(QRectF(8, 9, 16, 20));
        p.drawRect(QRectF(5, 6, 22, 3));
        p.drawRect(QRectF(13, 3, 6, 3));
        p.drawLine(QPointF(12.5, 12), QPointF(12.5, 26));
        p.drawLine(QPointF(16, 12), QPointF(16, 26));
        p.drawLine(QPointF(19.5, 12), QPointF(19.5, 26));
        break;
    case Glyph::Resend:
        envelope(p, {3, 4, 22, 15});
        p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(12, 14, 14, 14), 90 * 16, -270 * 16);
        arrow(p, {17, 21}, {18.5, 23}, kGreen);
        break;
    case Glyph::Person:
        person(p, {16, 8}, 1.3, kBlue);
        break;
    case Glyph::Books:
        p.setPen(QPen(kInk, 1.4));
        p.setBrush(kBlue);
        p.drawRect(QRectF(4, 5, 7, 23));
        p.setBrush(kGreen);
        p.drawRect(QRectF(12, 5, 7, 23));
        p.setBrush(kAmber);
        p.save();
        p.translate(21, 7);
        p.rotate(12);
        p.drawRect(QRectF(0, 0, 7, 22));
        p.restore();
        break;
    case Glyph::Clock:
        p.setPen(QPen(kInk, 2));
        p.setBrush(kPaper);
        p.drawEllipse(QPointF(16, 16), 12, 12);
        p.setPen(QPen(kInk, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 16), QPointF(16, 8));
        p.drawLine(QPointF(16, 16), QPointF(22, 19));
        break;
    }
}

} // namespace

QPixmap glyphPixmap(Glyph glyph, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p, glyph);
    return pixmap;
}

QIcon themedIcon(const char *themeName, Glyph fallback)
{
    QIcon drawn;
    for (int size : {16, 24, 32, 48})
        drawn.addPixmap(glyphPixmap(fallback, size));
    return QIcon::fromTheme(QString::fromLatin1(themeName), drawn);
}

} // namespace kirvane::shell
