#pragma once

// Every match of a text in a document as large as a full log, counted a slice at a time so
// that the window never waits for it. Each line (block) keeps its own matches: lines dropped
// from the log take theirs along, lines added or changed are looked at again, and nothing
// else is read twice.

#include <memory>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QString>

class QTextBlock;
class QTextDocument;

namespace m845 {

struct TLogMatch
{
    int position = -1; // in the document; -1: none
    int length = 0;
    [[nodiscard]] bool Valid() const { return position >= 0; }
};

class TLogSearch final : public QObject
{
    Q_OBJECT
public:
    explicit TLogSearch(QTextDocument &document, QObject *parent = nullptr);
    ~TLogSearch() override;
    TLogSearch(const TLogSearch &) = delete;
    TLogSearch &operator=(const TLogSearch &) = delete;

    // A new search; the count starts at the line holding from and goes round the document.
    // The first match at or after from is then reported by FirstFound. An empty text stops.
    void Start(const QString &text, Qt::CaseSensitivity cs, int from);
    void Stop();
    [[nodiscard]] bool Active() const { return !m_text.isEmpty(); }
    [[nodiscard]] const QString &Text() const { return m_text; }

    // Looks at lines for about budgetNs; true once every line has been looked at.
    bool Step(qint64 budgetNs);
    [[nodiscard]] bool Counted() const { return m_pending.empty(); }
    [[nodiscard]] int Count() const;

    // The next match starting after position (or the previous one starting before it), round
    // the end of the document; lines not yet looked at are looked at on the way.
    [[nodiscard]] TLogMatch Next(int position);
    [[nodiscard]] TLogMatch Previous(int position);
    // 1 for the document's first match; 0 when match is none of them.
    [[nodiscard]] int Ordinal(const TLogMatch &match) const;
    // The matches of the lines from first to last (block numbers), for the highlight.
    [[nodiscard]] std::vector<TLogMatch> MatchesIn(int firstBlock, int lastBlock);

signals:
    // The count moved on, or lines changed (the highlight may need to follow).
    void Changed();
    // The first match at or after the start's position, once found (round the end).
    void FirstFound(const m845::TLogMatch &match);

private:
    struct TCounter;
    struct TBlockMatches;

    void ContentsChange(int position, int removed, int added);
    // Looks at a line now if it was not yet; its matches' offsets, null when none.
    const std::vector<int> *Scan(QTextBlock &block);
    void Report(const QTextBlock &block, const std::vector<int> *offsets, bool wrapped);

    QTextDocument &m_document;
    // The log box and its document may go first when the window closes.
    QPointer<QTextDocument> m_alive;
    std::shared_ptr<TCounter> m_counter;
    QString m_text;
    Qt::CaseSensitivity m_cs = Qt::CaseInsensitive;
    int m_generation = 0;
    // Where walks still have to begin, each to the end of the document; the first is the
    // start's own line, then the top and every line changed behind the walk.
    std::vector<int> m_pending;
    int m_firstFrom = -1; // the start's position until FirstFound has been sent
    bool m_firstWrapped = false;
};

} // namespace m845
