#pragma once

// Every modal dialog of the program goes through here, so that a test can answer it in
// advance instead of a dialog blocking the run.

#include <cstdint>
#include <deque>
#include <vector>

#include <QString>

class QWidget;

namespace m845 {

enum class TDialogKind : std::uint8_t { OpenFile, SaveFile, Warning, Question };

struct TDialogRequest
{
    TDialogKind kind = TDialogKind::Warning;
    QString title;
    QString text; // the message, or the proposed file
    QString filter;
    QString defaultSuffix;
    QString detail; // below a question's or a warning's text
};

class TDialogs final
{
public:
    // The chosen file, or empty when the user cancels.
    [[nodiscard]] static QString OpenFileName(QWidget *parent, const QString &title,
                                              const QString &start, const QString &filter);
    // confirmReplace false: the file is appended to, so choosing an existing one is no risk.
    // defaultSuffix goes onto a name without one before the overwrite question, so the question
    // names the file the caller really writes.
    [[nodiscard]] static QString SaveFileName(QWidget *parent, const QString &title,
                                              const QString &start, const QString &filter,
                                              bool confirmReplace = true,
                                              const QString &defaultSuffix = {});
    // detail, when given, is shown below the message.
    static void Warning(QWidget *parent, const QString &title, const QString &text,
                        const QString &detail = {});

    // Yes or no; detail, when given, is shown below the question. No is the default button.
    [[nodiscard]] static bool Question(QWidget *parent, const QString &title, const QString &text,
                                       const QString &detail = {});

    // Tests: from now on no dialog is shown; each file dialog takes the next answer (empty or
    // none left: cancelled), given the default suffix as the dialog gives it, each question
    // the next answer too (any text is yes; empty or none left: no), and every request is
    // recorded.
    static void Script(std::deque<QString> answers = {});
    static void EndScript();
    [[nodiscard]] static const std::vector<TDialogRequest> &Requests();

private:
    [[nodiscard]] static bool Scripted(const TDialogRequest &request, QString &answer);
};

} // namespace m845
