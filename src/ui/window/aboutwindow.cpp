#include "ui/window/aboutwindow.h"

#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/langlist.h"
#include "support/version.h"
#include "ui/common/textsetters.h"
#include "ui/common/uitext.h"
#include "ui/window/jpegimage.h"

// The resources live in a static library: register them before first use.
static void InitUiResources()
{
    Q_INIT_RESOURCE(m845ui);
}

namespace m845 {

namespace {

using detail::Lang;

QLabel *MakeLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

Tfrm_About::Tfrm_About(QWidget *parent)
    : QDialog(parent)
    , OpenUrl([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("frm_About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    m_imgAbout = MakeLabel("img_About", this);
    m_imgAbout->setFixedSize(100, 100);
    m_imgAbout->installEventFilter(this);

    m_lblSoftName = MakeLabel("lbl_SoftName", this);
    QFont bold = m_lblSoftName->font();
    bold.setBold(true);
    m_lblSoftName->setFont(bold);
    m_lblAboutVersion = MakeLabel("lbl_About_version", this);
    m_lblVersion = MakeLabel("lbl_version", this);
    m_lblDescription = MakeLabel("lbl_Aboutl_Description", this);
    m_lblDescription->setWordWrap(true);
    m_lblDescription->setMinimumWidth(265);
    m_lblContact = MakeLabel("lbl_About_Contact", this);
    m_lblWebsite = MakeLabel("lbl_About_Website", this);
    m_lblWebsite->setStyleSheet(
        QStringLiteral("QLabel { color: #0000ff; text-decoration: underline; }"));
    m_lblWebsite->setCursor(Qt::PointingHandCursor);
    m_lblWebsite->installEventFilter(this);
    m_lblTel = MakeLabel("lbl_About_Tel", this);
    m_lblEmail = MakeLabel("lbl_About_Email", this);
    m_btnYes = new QPushButton(this);
    m_btnYes->setObjectName(QStringLiteral("btn_About_Yes"));
    connect(m_btnYes, &QPushButton::clicked, this, [this] { close(); });

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(12, 12, 12, 12);
    grid->addWidget(m_imgAbout, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(m_lblSoftName, 0, 1, 1, 2);
    auto *versionRow = new QHBoxLayout();
    versionRow->addWidget(m_lblAboutVersion);
    versionRow->addWidget(m_lblVersion);
    versionRow->addStretch(1);
    grid->addLayout(versionRow, 1, 1, 1, 2);
    grid->addWidget(m_lblDescription, 2, 1, 1, 2);
    grid->addWidget(rule, 3, 0, 1, 3);
    grid->addWidget(m_lblContact, 4, 0, 1, 3);
    grid->addWidget(m_lblWebsite, 5, 0, 1, 3);
    grid->addWidget(m_lblTel, 6, 0, 1, 2);
    grid->addWidget(m_lblEmail, 7, 0, 1, 2);
    grid->addWidget(m_btnYes, 7, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    // Fixed size, as wide as designed and as tall as the texts of the language need.
    setMinimumWidth(473);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

bool Tfrm_About::PictureLoaded()
{
    // Decoded when the window is first shown, not while the program starts.
    if (!m_pictureTried) {
        m_pictureTried = true;
        InitUiResources();
        QFile picture(QStringLiteral(":/m845/about.jpg"));
        if (picture.open(QIODevice::ReadOnly)) {
            const QImage image = DecodeJpeg(picture.readAll());
            m_pictureLoaded = !image.isNull();
            if (m_pictureLoaded)
                m_imgAbout->setPixmap(QPixmap::fromImage(image));
        }
    }
    return m_pictureLoaded;
}

void Tfrm_About::showEvent(QShowEvent *event)
{
    static_cast<void>(PictureLoaded());
    m_clicks = 0;
    ApplyAboutTexts();
    m_lblVersion->setText(QStringLiteral(" V") + QString::fromStdString(ProgramVersionText()));
    QDialog::showEvent(event);
}

bool Tfrm_About::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == m_imgAbout) {
            img_AboutClick();
            return true;
        }
        if (watched == m_lblWebsite) {
            lbl_About_WebsiteClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfrm_About::img_AboutClick()
{
    ++m_clicks;
    emit HexMirrorChanged(m_clicks == 5);
}

void Tfrm_About::lbl_About_WebsiteClick()
{
    if (OpenUrl)
        OpenUrl(QUrl::fromUserInput(m_lblWebsite->text()));
}

void Tfrm_About::ApplyAboutTexts()
{
    setWindowTitle(Lang("lang_About_Title"));
    SetCaptionByKey(m_lblSoftName, "lang_About_SoftName");
    SetCaptionByKey(m_lblAboutVersion, "lang_About_Version");
    SetCaptionByKey(m_lblDescription, "lang_About_Description");
    SetCaptionByKey(m_lblContact, "lang_About_Contact");
    SetCaptionByKey(m_lblWebsite, "lang_About_Website");
    SetCaptionByKey(m_lblTel, "lang_About_Tel");
    SetCaptionByKey(m_lblEmail, "lang_About_Email");
    SetCaptionByKey(m_btnYes, "lang_About_OK");
}

} // namespace m845
