#include "ui/window/wheelrouter.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

namespace m845 {

TWheelRouter::TWheelRouter(QWidget *root)
    : QObject(root)
    , m_root(root)
{
    qApp->installEventFilter(this);
}

TWheelRouter::~TWheelRouter()
{
    qApp->removeEventFilter(this);
}

bool TWheelRouter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget *>(watched)->window() != m_root)
        return false;
    const auto *wheel = static_cast<QWheelEvent *>(event);
    const int delta
        = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
    // A zero delta (the end of a touchpad fling) turns nothing.
    if (delta == 0)
        return false;
    const QPoint global = wheel->globalPosition().toPoint();
    for (const QString &name : {QStringLiteral("advscrlbxPara"), QStringLiteral("advscrlbxBase")}) {
        auto *area = m_root->findChild<QScrollArea *>(name);
        if (area == nullptr || !area->isVisible())
            continue;
        const QRect screenRect(area->mapToGlobal(QPoint(0, 0)), area->size());
        if (!screenRect.contains(global))
            continue;
        area->verticalScrollBar()->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub
                                                           : QAbstractSlider::SliderSingleStepAdd);
        return true;
    }
    return false;
}

} // namespace m845
