#include "ui/panel/changemarks.h"

#include <map>

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "ui/common/uitext.h"
#include "ui/panel/parampanel.h"

namespace m845 {

namespace {

constexpr int kCornerSize = 10;

// A corner flag over the control's top left, drawn over whatever style the control has; the
// control keeps its looks and its mouse.
class TCornerMark final : public QWidget
{
public:
    TCornerMark(QWidget *control, TMarkKind kind)
        : QWidget(control)
    {
        setObjectName(QStringLiteral("chgMark"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFixedSize(kCornerSize, kCornerSize);
        SetKind(kind);
        move(0, 0);
        raise();
        show();
    }

    void SetKind(TMarkKind kind)
    {
        m_kind = kind;
        setProperty("kind", static_cast<int>(kind));
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath corner;
        corner.moveTo(0, 0);
        corner.lineTo(kCornerSize, 0);
        corner.lineTo(0, kCornerSize);
        corner.closeSubpath();
        // Told apart by shape as well as colour: only a value not read is hollow.
        switch (m_kind) {
        case TMarkKind::Changed:
            painter.fillPath(corner, QColor(0xE6, 0x8A, 0x00));
            break;
        case TMarkKind::Differs:
            painter.fillPath(corner, QColor(0xD3, 0x2F, 0x2F));
            break;
        case TMarkKind::NotRead:
            painter.setPen(QPen(QColor(0x60, 0x7D, 0x8B), 1.5));
            painter.drawPath(corner);
            break;
        }
    }

private:
    TMarkKind m_kind = TMarkKind::Changed;
};

QString Joined(const QString &first, const QString &second)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    return first + QLatin1Char('\n') + second;
}

} // namespace

TChangeMarks::TChangeMarks(TParamPanel &panel)
    : m_panel(panel)
    , m_status(new QLabel)
{
    m_status->setObjectName(QStringLiteral("lblChanged"));
    m_status->setTextFormat(Qt::PlainText);
    // Read by the screen reader as the status it is, and selectable for a bug report.
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_status->setFocusPolicy(Qt::TabFocus);
    panel.AddStatusWidget(m_status);
    WatchControls();
}

TChangeMarks::~TChangeMarks() = default;

void TChangeMarks::WatchControls()
{
    for (QLineEdit *edit : m_panel.findChildren<QLineEdit *>()) {
        if (qobject_cast<QComboBox *>(edit->parentWidget()) == nullptr)
            connect(edit, &QLineEdit::textChanged, this, &TChangeMarks::NoteEdit);
    }
    for (QComboBox *box : m_panel.findChildren<QComboBox *>())
        connect(box, &QComboBox::currentIndexChanged, this, &TChangeMarks::NoteEdit);
    for (QAbstractButton *button : m_panel.findChildren<QAbstractButton *>())
        connect(button, &QAbstractButton::toggled, this, &TChangeMarks::NoteEdit);
}

void TChangeMarks::NoteEdit()
{
    // One rule sets off others: the whole cascade is one edit.
    if (m_editNoted)
        return;
    m_editNoted = true;
    QTimer::singleShot(0, this, [this] {
        m_editNoted = false;
        emit PanelEdited();
    });
}

void TChangeMarks::SetMarks(const std::vector<TControlMark> &marks)
{
    struct TWanted
    {
        TMarkKind kind = TMarkKind::NotRead;
        QString text;
    };
    std::map<QWidget *, TWanted> wanted;
    for (const TControlMark &mark : marks) {
        auto *control = m_panel.findChild<QWidget *>(mark.control);
        if (control == nullptr)
            continue;
        auto [entry, added] = wanted.try_emplace(control, TWanted{mark.kind, mark.text});
        if (added)
            continue;
        // The strongest reason colours the corner; the hint gives every one.
        if (mark.kind > entry->second.kind)
            entry->second.kind = mark.kind;
        if (!entry->second.text.split(QLatin1Char('\n')).contains(mark.text))
            entry->second.text = Joined(entry->second.text, mark.text);
    }
    for (QWidget *control : m_decorated.keys()) {
        if (!wanted.contains(control))
            Undecorate(control);
    }
    for (const auto &[control, mark] : wanted)
        Decorate(control, mark.kind, mark.text);
}

void TChangeMarks::Decorate(QWidget *control, TMarkKind kind, const QString &text)
{
    auto found = m_decorated.find(control);
    if (found == m_decorated.end()) {
        found = m_decorated.insert(control,
                                   {control->toolTip(), control->accessibleDescription(), {}, {}});
        control->installEventFilter(this);
    }
    TDecoration &decoration = *found;
    if (decoration.corner == nullptr)
        decoration.corner = new TCornerMark(control, kind);
    else
        static_cast<TCornerMark *>(decoration.corner.data())->SetKind(kind);
    if (decoration.markText != text) {
        decoration.markText = text;
        ShowHint(control, decoration);
    }
}

void TChangeMarks::Undecorate(QWidget *control)
{
    const auto found = m_decorated.find(control);
    if (found == m_decorated.end())
        return;
    control->removeEventFilter(this);
    delete found->corner.data();
    found->markText.clear();
    ShowHint(control, *found);
    m_decorated.erase(found);
}

void TChangeMarks::ShowHint(QWidget *control, const TDecoration &decoration)
{
    m_settingHint = true;
    control->setProperty(detail::kStateHintProperty, decoration.markText);
    control->setToolTip(Joined(decoration.ownHint, decoration.markText));
    control->setAccessibleDescription(Joined(decoration.ownDescription, decoration.markText));
    m_settingHint = false;
}

bool TChangeMarks::eventFilter(QObject *watched, QEvent *event)
{
    // The panel sets hints of its own (the registration type, a language switch): they stay
    // the control's, with the mark after them.
    if (event->type() == QEvent::ToolTipChange && !m_settingHint) {
        auto *control = static_cast<QWidget *>(watched);
        if (const auto found = m_decorated.find(control); found != m_decorated.end()) {
            found->ownHint = control->toolTip();
            ShowHint(control, *found);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TChangeMarks::SetStatus(const QString &text, const QString &detail)
{
    m_status->setText(text);
    m_status->setToolTip(detail);
    m_status->setAccessibleName(text);
    m_status->setAccessibleDescription(detail);
}

} // namespace m845
