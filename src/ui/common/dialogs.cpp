#include "ui/common/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace m845 {

namespace {

// Window thread only, as every dialog.
struct TScript
{
    bool active = false;
    std::deque<QString> answers;
    std::vector<TDialogRequest> requests;
};

TScript &State()
{
    static TScript script;
    return script;
}

} // namespace

bool TDialogs::Scripted(const TDialogRequest &request, QString &answer)
{
    TScript &script = State();
    if (!script.active)
        return false;
    script.requests.push_back(request);
    if (request.kind != TDialogKind::Warning && !script.answers.empty()) {
        answer = script.answers.front();
        script.answers.pop_front();
    }
    return true;
}

QString TDialogs::OpenFileName(QWidget *parent, const QString &title, const QString &start,
                               const QString &filter)
{
    QString answer;
    if (Scripted({TDialogKind::OpenFile, title, start, filter, {}, {}}, answer))
        return answer;
    return QFileDialog::getOpenFileName(parent, title, start, filter);
}

QString TDialogs::SaveFileName(QWidget *parent, const QString &title, const QString &start,
                               const QString &filter, bool confirmReplace,
                               const QString &defaultSuffix)
{
    QString answer;
    if (Scripted({TDialogKind::SaveFile, title, start, filter, defaultSuffix, {}}, answer)) {
        // As the dialog's own rule: a name without any dot, and no folder.
        const QFileInfo chosen(answer);
        if (!answer.isEmpty() && !defaultSuffix.isEmpty()
            && !chosen.fileName().contains(QLatin1Char('.')) && !chosen.isDir())
            answer += QLatin1Char('.') + defaultSuffix;
        return answer;
    }
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmReplace);
    if (!defaultSuffix.isEmpty()) {
        dialog.setDefaultSuffix(defaultSuffix);
        // A native dialog (GTK, the desktop portal) asks about the name as typed and gets the
        // suffix only afterwards: "customer" would then replace customer.ini unasked.
        dialog.setOption(QFileDialog::DontUseNativeDialog, confirmReplace);
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

void TDialogs::Warning(QWidget *parent, const QString &title, const QString &text,
                       const QString &detail)
{
    QString unused;
    if (Scripted({TDialogKind::Warning, title, text, {}, {}, detail}, unused))
        return;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.setInformativeText(detail);
    box.exec();
}

bool TDialogs::Question(QWidget *parent, const QString &title, const QString &text,
                        const QString &detail)
{
    QString answer;
    if (Scripted({TDialogKind::Question, title, text, {}, {}, detail}, answer))
        return !answer.isEmpty();
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setInformativeText(detail);
    return box.exec() == QMessageBox::Yes;
}

void TDialogs::Script(std::deque<QString> answers)
{
    State() = TScript{true, std::move(answers), {}};
}

void TDialogs::EndScript()
{
    State() = TScript{};
}

const std::vector<TDialogRequest> &TDialogs::Requests()
{
    return State().requests;
}

} // namespace m845
