#include "aboutpanel.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>
#include <QSvgRenderer>

#include <cmath>

namespace kv {

namespace {

constexpr int kWidth = 440;
constexpr int kHeight = 280;

// A wide stroke as a brush would leave it: a soft-edged band along a curve.
void DrawStroke(QPainter& p, const QPainterPath& path, const QColor& colour, qreal width) {
    for (int i = 3; i >= 0; --i) {
        QColor c = colour;
        c.setAlpha(50 + 50 * (3 - i));
        p.setPen(QPen(c, width + i * 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    }
}

// Round brush stamps along a curve, the way the pens place them.
void DrawStamps(QPainter& p, const QPainterPath& path, const QColor& colour) {
    p.setPen(Qt::NoPen);
    for (int i = 0; i <= 24; ++i) {
        const QPointF at = path.pointAtPercent(i / 24.0);
        const qreal r = 3 + 4 * std::sin(i / 24.0 * 3.14159);
        QRadialGradient g(at, r);
        g.setColorAt(0, colour);
        g.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
        p.setBrush(g);
        p.drawEllipse(at, r, r);
    }
}

void DrawPicture(QPainter& p) {
    QLinearGradient paper(0, 0, kWidth, kHeight);
    paper.setColorAt(0, QColor(250, 244, 228));
    paper.setColorAt(1, QColor(232, 220, 196));
    p.fillRect(0, 0, kWidth, kHeight, paper);

    QPainterPath red(QPointF(30, 200));
    red.cubicTo(110, 90, 190, 250, 300, 120);
    DrawStroke(p, red, QColor(200, 40, 40), 18);
    QPainterPath blue(QPointF(60, 80));
    blue.cubicTo(160, 20, 250, 150, 410, 60);
    DrawStroke(p, blue, QColor(40, 80, 190), 12);
    QPainterPath yellow(QPointF(180, 250));
    yellow.cubicTo(260, 180, 330, 260, 420, 190);
    DrawStroke(p, yellow, QColor(235, 180, 20), 22);
    QPainterPath dots(QPointF(40, 240));
    dots.cubicTo(150, 270, 260, 200, 400, 250);
    DrawStamps(p, dots, QColor(30, 140, 70));

    // A cut brush, turned by 20 degrees, with its handle in the centre.
    p.save();
    p.translate(360, 150);
    p.rotate(-20);
    p.setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawRect(-28, -20, 56, 40);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawLine(-5, 0, 5, 0);
    p.drawLine(0, -5, 0, 5);
    p.restore();

    // The program icon, drawn as vectors so it stays sharp at any scale.
    QSvgRenderer icon(QStringLiteral(":/vellumatic.svg"));
    icon.render(&p, QRectF(14, 14, 56, 56));

    p.setPen(QColor(40, 30, 20));
    QFont title("DejaVu Serif", 30, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(0, 96, kWidth, 50), Qt::AlignCenter, "Vellumatic");
    QFont sub("DejaVu Sans", 10);
    p.setFont(sub);
    p.drawText(QRect(0, 146, kWidth, 20), Qt::AlignCenter, "True-colour painting with brushes");
    p.drawText(QRect(0, kHeight - 24, kWidth - 10, 20), Qt::AlignRight | Qt::AlignVCenter,
               "Version " + QGuiApplication::applicationVersion());
    p.setPen(QPen(QColor(90, 70, 50), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(1, 1, kWidth - 2, kHeight - 2);
}

} // namespace

TAboutPanel::TAboutPanel(QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName("AboutPanel");
    setFixedSize(kWidth, kHeight);
}

void TAboutPanel::Centre() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect s = screen->geometry();
    move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - height()) / 2);
}

void TAboutPanel::ShowSplash() {
    Centre();
    show();
    repaint();
}

void TAboutPanel::ShowAbout() {
    Centre();
    show();
    raise();
}

void TAboutPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    DrawPicture(p);
}

void TAboutPanel::mousePressEvent(QMouseEvent*) {
    close();
}

} // namespace kv
