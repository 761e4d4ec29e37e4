#include "ui/panel/workmodediagram.h"

#include <array>

#include <QPainter>
#include <QPainterPath>

namespace m845 {
namespace {

enum class Icon : std::uint8_t { Pc, Network, M2m, Serial, Server, Phone, Tower };

struct Scene
{
    std::array<Icon, 4> icons;
    std::array<const char *, 4> labelsEn;
    std::array<const char *, 4> labelsCn;
    std::array<const char *, 3> linksEn;
    std::array<const char *, 3> linksCn;
};

const Scene kNet{{Icon::Pc, Icon::Network, Icon::M2m, Icon::Serial},
                 {"PC", "Network", "M2M Device", "Serial Device"},
                 {"电脑", "网络", "M2M设备", "串口设备"},
                 {"TCP/UDP", "TCP/UDP", "Serial"},
                 {"TCP/UDP", "TCP/UDP", "串口"}};
const Scene kHttp{{Icon::Server, Icon::Network, Icon::M2m, Icon::Serial},
                  {"HTTP Server", "Network", "M2M Device", "Serial Device"},
                  {"HTTP服务器", "网络", "M2M设备", "串口设备"},
                  {"HTTP", "HTTP", "Serial"},
                  {"HTTP", "HTTP", "串口"}};
const Scene kSms{{Icon::Phone, Icon::Tower, Icon::M2m, Icon::Serial},
                 {"Mobile Phone", "Base Station", "M2M Device", "Serial Device"},
                 {"手机", "基站", "M2M设备", "串口设备"},
                 {"SMS", "SMS", "Serial"},
                 {"短信", "短信", "串口"}};

constexpr std::array<qreal, 4> kCentres{52, 192, 342, 478};
constexpr qreal kIconHalf = 34;
constexpr qreal kArrowY = 32;

const QColor kInk(0x33, 0x3d, 0x4a);
const QColor kBlue(0x2f, 0x7d, 0xd1);
const QColor kLightBlue(0xd6, 0xe8, 0xfa);
const QColor kGrey(0xe4, 0xe7, 0xeb);
const QColor kGreen(0x3c, 0xb3, 0x4a);

const Scene *SceneOf(const QString &name)
{
    if (name.startsWith(QLatin1String("Net")))
        return &kNet;
    if (name.startsWith(QLatin1String("Http")))
        return &kHttp;
    if (name.startsWith(QLatin1String("Sms")))
        return &kSms;
    return nullptr;
}

QPen Outline(qreal width = 1.6)
{
    return QPen(kInk, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawPc(QPainter &p, qreal cx)
{
    p.setPen(Outline());
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(cx - 22, 10, 44, 30), 3, 3);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(cx - 18, 14, 36, 22));
    p.setBrush(kGrey);
    QPainterPath stand;
    stand.moveTo(cx - 5, 40);
    stand.lineTo(cx + 5, 40);
    stand.lineTo(cx + 9, 48);
    stand.lineTo(cx - 9, 48);
    stand.closeSubpath();
    p.drawPath(stand);
    p.drawRoundedRect(QRectF(cx - 16, 49, 32, 5), 1.5, 1.5);
}

void DrawNetwork(QPainter &p, qreal cx)
{
    QPainterPath cloud;
    cloud.addEllipse(QPointF(cx - 15, 34), 12, 11);
    cloud.addEllipse(QPointF(cx + 1, 26), 16, 15);
    cloud.addEllipse(QPointF(cx + 17, 34), 11, 10);
    cloud.addRoundedRect(QRectF(cx - 25, 32, 50, 13), 6, 6);
    cloud = cloud.simplified();
    p.setPen(Outline());
    p.setBrush(kLightBlue);
    p.drawPath(cloud);
    // A small globe inside the cloud.
    p.setPen(QPen(kBlue, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(cx + 1, 32), 8, 8);
    p.drawEllipse(QPointF(cx + 1, 32), 3.5, 8);
    p.drawLine(QPointF(cx - 7, 32), QPointF(cx + 9, 32));
}

void DrawM2m(QPainter &p, qreal cx)
{
    p.setPen(Outline());
    p.drawLine(QPointF(cx + 12, 20), QPointF(cx + 12, 6));
    p.setBrush(kInk);
    p.drawEllipse(QPointF(cx + 12, 6), 2, 2);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(cx - 22, 20, 44, 28), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(cx - 14 + i * 7, 27), 2, 2);
    p.setPen(QPen(Qt::white, 1.4));
    p.drawLine(QPointF(cx - 16, 40), QPointF(cx + 16, 40));
}

void DrawSerial(QPainter &p, qreal cx)
{
    p.setPen(Outline());
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(cx - 24, 14, 48, 36), 4, 4);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(cx - 16, 19, 32, 12));
    // A D-sub connector at the bottom edge.
    QPainterPath dsub;
    dsub.moveTo(cx - 13, 36);
    dsub.lineTo(cx + 13, 36);
    dsub.lineTo(cx + 10, 45);
    dsub.lineTo(cx - 10, 45);
    dsub.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(dsub);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(cx - 8 + i * 4, 39), 1, 1);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(cx - 6 + i * 4, 42.5), 1, 1);
}

void DrawServer(QPainter &p, qreal cx)
{
    p.setPen(Outline());
    p.setBrush(kGrey);
    p.drawRoundedRect(QRectF(cx - 16, 6, 32, 48), 3, 3);
    for (int i = 0; i < 3; ++i) {
        const qreal y = 11 + i * 14;
        p.setPen(Outline(1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(cx - 12, y, 24, 9));
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(cx + 7, y + 4.5), 1.8, 1.8);
        p.setPen(QPen(kInk, 1));
        p.drawLine(QPointF(cx - 9, y + 4.5), QPointF(cx + 2, y + 4.5));
    }
}

void DrawPhone(QPainter &p, qreal cx)
{
    p.setPen(Outline());
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(cx - 13, 6, 26, 48), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(kLightBlue);
    p.drawRect(QRectF(cx - 10, 12, 20, 32));
    p.setBrush(kGrey);
    p.drawEllipse(QPointF(cx, 49), 2.5, 2.5);
    // A message bubble on the screen.
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(cx - 7, 18, 14, 9), 2, 2);
}

void DrawTower(QPainter &p, qreal cx)
{
    p.setPen(Outline());
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(cx, 10), QPointF(cx - 13, 54));
    p.drawLine(QPointF(cx, 10), QPointF(cx + 13, 54));
    p.drawLine(QPointF(cx - 5, 27), QPointF(cx + 5, 27));
    p.drawLine(QPointF(cx - 9, 41), QPointF(cx + 9, 41));
    p.drawLine(QPointF(cx - 5, 27), QPointF(cx + 9, 41));
    p.drawLine(QPointF(cx + 5, 27), QPointF(cx - 9, 41));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(cx, 9), 3, 3);
    p.setPen(QPen(kBlue, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        const qreal r = 5.0 * i + 2;
        const QRectF box(cx - r, 9 - r, 2 * r, 2 * r);
        p.drawArc(box, -40 * 16, 80 * 16);
        p.drawArc(box, 140 * 16, 80 * 16);
    }
}

void DrawIcon(QPainter &p, Icon icon, qreal cx)
{
    p.save();
    switch (icon) {
    case Icon::Pc:
        DrawPc(p, cx);
        break;
    case Icon::Network:
        DrawNetwork(p, cx);
        break;
    case Icon::M2m:
        DrawM2m(p, cx);
        break;
    case Icon::Serial:
        DrawSerial(p, cx);
        break;
    case Icon::Server:
        DrawServer(p, cx);
        break;
    case Icon::Phone:
        DrawPhone(p, cx);
        break;
    case Icon::Tower:
        DrawTower(p, cx);
        break;
    }
    p.restore();
}

void DrawTwoWayArrow(QPainter &p, qreal x1, qreal x2, qreal y)
{
    constexpr qreal head = 6;
    p.setPen(QPen(kBlue, 1.8, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x1 + head, y), QPointF(x2 - head, y));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    const std::array<QPointF, 3> left{QPointF(x1, y), QPointF(x1 + head + 2, y - head * 0.7),
                                      QPointF(x1 + head + 2, y + head * 0.7)};
    const std::array<QPointF, 3> right{QPointF(x2, y), QPointF(x2 - head - 2, y - head * 0.7),
                                       QPointF(x2 - head - 2, y + head * 0.7)};
    p.drawPolygon(left.data(), 3);
    p.drawPolygon(right.data(), 3);
}

} // namespace

TWorkModeDiagram::TWorkModeDiagram(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(kWidth, kHeight);
}

bool TWorkModeDiagram::SetPicture(const QString &name)
{
    const bool known
        = SceneOf(name) != nullptr
          && (name.endsWith(QLatin1String("_cn")) || name.endsWith(QLatin1String("_en")))
          && name.indexOf(QLatin1Char('_')) == name.size() - 3;
    if (!known)
        return false;
    m_picture = name;
    update();
    return true;
}

QSize TWorkModeDiagram::sizeHint() const
{
    return {kWidth, kHeight};
}

void TWorkModeDiagram::paintEvent(QPaintEvent *)
{
    const Scene *scene = SceneOf(m_picture);
    if (scene == nullptr)
        return;
    const bool chinese = m_picture.endsWith(QLatin1String("_cn"));

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(width() / qreal(kWidth), height() / qreal(kHeight));

    for (std::size_t i = 0; i < scene->icons.size(); ++i)
        DrawIcon(p, scene->icons.at(i), kCentres.at(i));

    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    for (std::size_t i = 0; i < scene->linksEn.size(); ++i) {
        const qreal x1 = kCentres.at(i) + kIconHalf;
        const qreal x2 = kCentres.at(i + 1) - kIconHalf;
        DrawTwoWayArrow(p, x1, x2, kArrowY);
        p.setPen(kInk);
        const QString link
            = QString::fromUtf8(chinese ? scene->linksCn.at(i) : scene->linksEn.at(i));
        p.drawText(QRectF(x1 - 10, kArrowY - 20, x2 - x1 + 20, 16), Qt::AlignCenter, link);
    }

    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(kInk);
    for (std::size_t i = 0; i < scene->icons.size(); ++i) {
        const QString label
            = QString::fromUtf8(chinese ? scene->labelsCn.at(i) : scene->labelsEn.at(i));
        p.drawText(QRectF(kCentres.at(i) - 52, 62, 104, 22), Qt::AlignCenter, label);
    }
}

} // namespace m845
