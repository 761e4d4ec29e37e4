// The panel's rules between controls, and the IPanel view of its controls.

#include "ui/panel/parampanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QWheelEvent>

#include "lang/langlist.h"
#include "support/conversions.h"
#include "support/encoding.h"
#include "ui/common/uitext.h"
#include "ui/panel/parampanel_regdata.h"
#include "ui/panel/workmodediagram.h"

namespace m845 {
namespace {

int TagOf(const QObject *object)
{
    return object->property("tag").toInt();
}

// The device counts bytes in GBK, so the hexadecimal form is that of the GBK bytes.
QString ToHexForm(const QString &text)
{
    return QString::fromStdString(TextToHex(Utf8ToGbk(text.toStdString()), ""));
}

QString FromHexForm(const QString &text)
{
    const std::string hex = text.toStdString();
    const std::string bytes = HexToText(hex);
    // Text that is no hexadecimal comes back unchanged and must not be decoded as GBK.
    if (bytes == hex)
        return text;
    return QString::fromStdString(GbkToUtf8(bytes));
}

bool IsHexDigits(const QString &text)
{
    for (const QChar c : text) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool upper = c >= QLatin1Char('A') && c <= QLatin1Char('F');
        const bool lower = c >= QLatin1Char('a') && c <= QLatin1Char('f');
        if (!digit && !upper && !lower)
            return false;
    }
    return true;
}

} // namespace

TParamPanel::~TParamPanel() = default;

void TParamPanel::RestoreInitialState()
{
    m_initial.Restore();
}

QString TParamPanel::WorkModePicture() const
{
    return m_imgWkMod->Picture();
}

void TParamPanel::WireReactions()
{
    for (QCheckBox *box : {m_rows[0].enable, m_rows[1].enable, m_rows[2].enable, m_rows[3].enable,
                           m_rzchckbxHeartEn, m_rzchckbxRegEn, m_rzchckbxMore}) {
        connect(box, &QCheckBox::toggled, this, [this, box] { RzchckbxEnableClick(box); });
    }
    for (QCheckBox *box : {m_rzchckbxHeartDtHex, m_rzchckbxRegDtHex})
        connect(box, &QCheckBox::toggled, this, [this, box] { RzchckbxHexClick(box); });
    for (QRadioButton *button : {m_rbNetTran, m_rbUdc, m_rbHttpd, m_rbSmsTran}) {
        connect(button, &QRadioButton::toggled, this, [this, button](bool checked) {
            if (checked)
                RbWkmokClick(button);
        });
    }
    // Only the user's choices run the reactions; code that sets an index calls them itself.
    for (const SocketRow &row : m_rows) {
        QComboBox *box = row.protocol;
        connect(box, &QComboBox::activated, this, [this, box] { CbbProtocolChange(box); });
    }
    connect(m_cbbRegTp, &QComboBox::activated, this, [this] { CbbRegTpChange(); });

    m_edtHeartDt->installEventFilter(this);
    m_cbbRegDt->installEventFilter(this);
    for (QScrollArea *area : {m_advscrlbxPara, m_advscrlbxBase}) {
        area->installEventFilter(this);
        area->viewport()->installEventFilter(this);
        for (QComboBox *box : area->widget()->findChildren<QComboBox *>())
            box->installEventFilter(this);
    }
}

int TParamPanel::WorkModeNumber() const
{
    if (m_rbNetTran->isChecked())
        return 0;
    if (m_rbHttpd->isChecked())
        return 1;
    if (m_rbSmsTran->isChecked())
        return 2;
    if (m_rbUdc->isChecked())
        return 3;
    return 4;
}

void TParamPanel::SetParamGroupCaption()
{
    m845::SetParamGroupCaption(m_rzgrpbxPara, WorkModeNumber(), "lang_rzgrpbxPara");
}

void TParamPanel::RbWkmokClick(QRadioButton *button)
{
    static constexpr std::array<const char *, 3> kPictures{"Net", "Http", "Sms"};
    const int tag = TagOf(button);
    if (tag < 0 || tag >= static_cast<int>(kPictures.size()))
        return;
    const QString picture
        = QString::fromLatin1(kPictures.at(static_cast<std::size_t>(tag)))
          + (detail::IsChineseNow() ? QStringLiteral("_cn") : QStringLiteral("_en"));
    m_imgWkMod->SetPicture(picture);
    SetParamGroupCaption();
    m_rzpgcntrlPara->setCurrentIndex(tag);
    ApplyUdcMode(WorkModeNumber() == 3);
}

void TParamPanel::ApplyUdcMode(bool udc)
{
    if (udc) {
        m_rzchckbxRegEn->setChecked(true);
        m_cbbRegSnd->setCurrentIndex(0);
    }
    for (QWidget *w : {static_cast<QWidget *>(m_lblRegTp), static_cast<QWidget *>(m_cbbRegTp),
                       static_cast<QWidget *>(m_cbbRegDt), static_cast<QWidget *>(m_lblRegDt)})
        w->setVisible(!udc);
    m_edtUdcId->setVisible(udc);
    m_lblUdcId->setVisible(udc);
    m_edtCloudPa->setVisible(m_cbbRegTp->currentIndex() == 2 && m_rbNetTran->isChecked());
    m_rzchckbxRegDtHex->setVisible(m_cbbRegTp->currentIndex() == 3 && m_rbNetTran->isChecked());
    m_cbbRegSnd->setVisible(!udc);
    m_lblRegSnd->setVisible(!udc);
    if (udc)
        SetHintByKey(m_cbbRegDt, "hint_cbbRegDt_Udc");
    else
        m_cbbRegDt->setToolTip(QString());
    m_rzchckbxRegDtHex->setEnabled(!udc);
    m_cbbRegTp->setEnabled(!udc);
    m_rzchckbxRegEn->setEnabled(!udc);
    if (udc)
        m_rzchckbxHeartEn->setChecked(true);
    m_lblHeartDt->setVisible(!udc);
    m_edtHeartDt->setVisible(!udc);
    m_rzchckbxHeartDtHex->setVisible(!udc);
    m_cbbHeartSnd->setCurrentIndex(0);
    m_cbbHeartSnd->setVisible(!udc);
    m_lblHeartSnd->setVisible(!udc);
    m_rzchckbxHeartEn->setEnabled(!udc);
    if (udc) {
        for (const SocketRow &row : m_rows)
            row.connKind->setCurrentIndex(1);
    }
    for (const SocketRow &row : m_rows)
        row.connKind->setEnabled(!udc);
}

void TParamPanel::RzchckbxEnableClick(QCheckBox *box)
{
    QWidget *group = nullptr;
    switch (TagOf(box)) {
    case 1:
        group = m_rows[0].group;
        break;
    case 2:
        group = m_rows[1].group;
        break;
    case 3:
        group = m_rzgrpbxHeart;
        break;
    case 4:
        group = m_rzgrpbxReg;
        break;
    case 5:
        group = m_rzgrpbxMore;
        break;
    case 6:
        group = m_rows[2].group;
        break;
    case 7:
        group = m_rows[3].group;
        break;
    default:
        return;
    }
    group->setVisible(box->isChecked());
}

void TParamPanel::CbbProtocolChange(QComboBox *box)
{
    const int tag = TagOf(box);
    if (tag < 1 || tag > static_cast<int>(m_rows.size()))
        return;
    QComboBox *connKind = m_rows.at(static_cast<std::size_t>(tag - 1)).connKind;
    if (box->currentIndex() == 0) {
        connKind->setVisible(true);
    } else if (box->currentIndex() == 1) {
        connKind->setCurrentIndex(1);
        connKind->setVisible(false);
    }
}

void TParamPanel::CbbRegTpChange()
{
    const int t = m_cbbRegTp->currentIndex();
    m_cbbRegDt->SetItemIndex(t);
    m_cbbRegDt->setReadOnly(t == 0 || t == 1);
    m_edtCloudPa->setVisible(t == 2 && m_rbNetTran->isChecked());
    m_rzchckbxRegDtHex->setVisible(t == 3 && m_rbNetTran->isChecked());
    if (t == 2) {
        SetCaptionByKey(m_lblRegDt, "lang_CloudIdPw");
        SetHintByKey(m_cbbRegDt, "lang_lblCloudId");
        SetHintByKey(m_edtCloudPa, "lang_lblCloudPa");
    } else {
        m_lblRegDt->setText(m_cbbRegTp->currentText());
        m_cbbRegDt->setToolTip(QString());
        m_edtCloudPa->setToolTip(QString());
    }
}

void TParamPanel::RzchckbxHexClick(QCheckBox *box)
{
    const bool hex = box->isChecked();
    switch (TagOf(box)) {
    case 1:
        m_edtHeartDt->setText(hex ? ToHexForm(m_edtHeartDt->text())
                                  : FromHexForm(m_edtHeartDt->text()));
        break;
    case 2:
        // The converted text goes to its own slot so that entry 3 keeps the stored user data.
        m_cbbRegDt->SetItem(4,
                            hex ? ToHexForm(m_cbbRegDt->text()) : FromHexForm(m_cbbRegDt->text()));
        m_cbbRegDt->SetItemIndex(4);
        break;
    default:
        break;
    }
}

bool TParamPanel::HexKeyAccepted(QObject *watched, const QKeyEvent &key) const
{
    const QCheckBox *hexBox = watched == m_edtHeartDt ? m_rzchckbxHeartDtHex : m_rzchckbxRegDtHex;
    if (!hexBox->isChecked())
        return true;
    // Only typed characters are filtered: moving the focus, the caret and editing keys type
    // nothing and pass, with Ctrl too.
    switch (key.key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
    case Qt::Key_Insert:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return false;
    default:
        break;
    }
    if ((key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0) {
        // Ctrl with a letter types a control character: only paste and cut get through.
        if (key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z)
            return key.key() == Qt::Key_V || key.key() == Qt::Key_X;
        return true;
    }
    const QString text = key.text();
    if (text.isEmpty())
        return true;
    return IsHexDigits(text);
}

QScrollArea *TParamPanel::ScrollAreaOf(QObject *watched) const
{
    for (QScrollArea *area : {m_advscrlbxPara, m_advscrlbxBase}) {
        if (watched == area || watched == area->viewport()
            || (qobject_cast<QWidget *>(watched) != nullptr
                && area->widget()->isAncestorOf(qobject_cast<QWidget *>(watched))))
            return area;
    }
    return nullptr;
}

void TParamPanel::ScrollOneLine(QScrollArea *area, int delta)
{
    if (delta == 0)
        return;
    QScrollBar *bar = area->verticalScrollBar();
    bar->setValue(bar->value() + (delta < 0 ? bar->singleStep() : -bar->singleStep()));
}

bool TParamPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_edtHeartDt || watched == m_cbbRegDt)) {
        if (!HexKeyAccepted(watched, *static_cast<QKeyEvent *>(event)))
            return true;
    } else if (event->type() == QEvent::InputMethod
               && (watched == m_edtHeartDt || watched == m_cbbRegDt)) {
        // Text composed by an input method is typed too, and is filtered like keys.
        const QCheckBox *hexBox
            = watched == m_edtHeartDt ? m_rzchckbxHeartDtHex : m_rzchckbxRegDtHex;
        const auto *input = static_cast<QInputMethodEvent *>(event);
        if (hexBox->isChecked() && !IsHexDigits(input->commitString()))
            return true;
    } else if (event->type() == QEvent::Wheel) {
        QScrollArea *area = ScrollAreaOf(watched);
        auto *combo = qobject_cast<QComboBox *>(watched);
        // A list only takes the wheel while it has the focus; otherwise the page scrolls.
        if (area != nullptr && (combo == nullptr || !combo->hasFocus())) {
            const auto *wheel = static_cast<QWheelEvent *>(event);
            const QPoint delta = wheel->angleDelta();
            ScrollOneLine(area, delta.y() != 0 ? delta.y() : delta.x());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace m845
