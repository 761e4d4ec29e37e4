#include "ui/terminal/logsearch.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

namespace m845 {

struct TLogSearch::TCounter
{
    int count = 0;
};

// A line's matches. Qt deletes it with its line (dropped at the log's limit, cleared, edited
// away), and the count goes down with it.
struct TLogSearch::TBlockMatches final : QTextBlockUserData
{
    TBlockMatches(std::vector<int> found, std::shared_ptr<TCounter> owner)
        : offsets(std::move(found))
        , counter(std::move(owner))
    {
        counter->count += static_cast<int>(offsets.size());
    }
    ~TBlockMatches() override { counter->count -= static_cast<int>(offsets.size()); }
    TBlockMatches(const TBlockMatches &) = delete;
    TBlockMatches &operator=(const TBlockMatches &) = delete;

    std::vector<int> offsets;
    std::shared_ptr<TCounter> counter;
};

namespace {

// How many lines between looks at the clock: a line takes well under a microsecond.
constexpr int kLinesPerClockLook = 128;

} // namespace

TLogSearch::TLogSearch(QTextDocument &document, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_alive(&document)
    , m_counter(std::make_shared<TCounter>())
{
    connect(&document, &QTextDocument::contentsChange, this, &TLogSearch::ContentsChange);
}

TLogSearch::~TLogSearch()
{
    Stop();
}

void TLogSearch::Start(const QString &text, Qt::CaseSensitivity cs, int from)
{
    m_text = text;
    m_cs = cs;
    // Lines looked at for an earlier text are looked at again; their old matches count for
    // the old counter only.
    ++m_generation;
    m_counter = std::make_shared<TCounter>();
    m_pending.clear();
    m_firstFrom = -1;
    if (m_text.isEmpty())
        return;
    from = std::clamp(from, 0, std::max(0, m_document.characterCount() - 1));
    m_pending = {m_document.findBlock(from).position(), 0};
    m_firstFrom = from;
    m_firstWrapped = false;
}

void TLogSearch::Stop()
{
    Start(QString(), m_cs, 0);
    if (m_alive.isNull())
        return;
    // The matches of every line go now rather than lie about until the lines do.
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (block.userData() != nullptr)
            block.setUserData(nullptr);
    }
}

int TLogSearch::Count() const
{
    return Active() ? m_counter->count : 0;
}

const std::vector<int> *TLogSearch::Scan(QTextBlock &block)
{
    if (block.userState() == m_generation) {
        const auto *data = static_cast<const TBlockMatches *>(block.userData());
        return data != nullptr ? &data->offsets : nullptr;
    }
    std::vector<int> offsets;
    const QString line = block.text();
    for (qsizetype at = line.indexOf(m_text, 0, m_cs); at >= 0;
         at = line.indexOf(m_text, at + m_text.size(), m_cs))
        offsets.push_back(static_cast<int>(at));
    block.setUserState(m_generation);
    if (offsets.empty()) {
        block.setUserData(nullptr);
        return nullptr;
    }
    auto *data = new TBlockMatches(std::move(offsets), m_counter);
    block.setUserData(data);
    return &data->offsets;
}

void TLogSearch::Report(const QTextBlock &block, const std::vector<int> *offsets, bool wrapped)
{
    if (m_firstFrom < 0 || offsets == nullptr)
        return;
    for (const int offset : *offsets) {
        const int position = block.position() + offset;
        if (wrapped || position >= m_firstFrom) {
            m_firstFrom = -1;
            emit FirstFound({position, static_cast<int>(m_text.size())});
            return;
        }
    }
}

bool TLogSearch::Step(qint64 budgetNs)
{
    if (!Active())
        return true;
    QElapsedTimer clock;
    clock.start();
    const int before = m_counter->count;
    int lines = 0;
    while (!m_pending.empty()) {
        QTextBlock block = m_document.findBlock(m_pending.front());
        for (; block.isValid(); block = block.next()) {
            if (++lines % kLinesPerClockLook == 0 && clock.nsecsElapsed() >= budgetNs) {
                m_pending.front() = block.position();
                if (m_counter->count != before)
                    emit Changed();
                return false;
            }
            const std::vector<int> *offsets = Scan(block);
            Report(block, offsets, m_firstWrapped);
        }
        m_pending.erase(m_pending.begin());
        // The first walk ran from the start's own line to the end; what follows is round it.
        m_firstWrapped = true;
    }
    if (m_firstFrom >= 0) {
        m_firstFrom = -1;
        emit FirstFound({});
    }
    emit Changed();
    return true;
}

void TLogSearch::ContentsChange(int position, int removed, int added)
{
    if (!Active())
        return;
    // The lines the change touched hold results of their old text.
    QTextBlock block = m_document.findBlock(position);
    const QTextBlock last
        = m_document.findBlock(std::min(position + added, m_document.characterCount() - 1));
    const int touched = block.isValid() ? block.position() : 0;
    for (; block.isValid(); block = block.next()) {
        block.setUserState(-1);
        block.setUserData(nullptr);
        if (block == last)
            break;
    }
    const auto shift = [position, removed, added](int &at) {
        if (at > position)
            at = std::max(position, at + added - removed);
    };
    std::for_each(m_pending.begin(), m_pending.end(), shift);
    if (m_firstFrom >= 0)
        shift(m_firstFrom);
    // A walk that begins at or before the touched lines passes them anyway.
    if (std::none_of(m_pending.begin(), m_pending.end(),
                     [touched](int at) { return at <= touched; }))
        m_pending.push_back(touched);
    emit Changed();
}

TLogMatch TLogSearch::Next(int position)
{
    if (!Active())
        return {};
    const QTextBlock start = m_document.findBlock(std::max(0, position));
    const int length = static_cast<int>(m_text.size());
    for (QTextBlock block = start; block.isValid(); block = block.next()) {
        if (const std::vector<int> *offsets = Scan(block)) {
            for (const int offset : *offsets) {
                if (block.position() + offset > position)
                    return {block.position() + offset, length};
            }
        }
    }
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        if (const std::vector<int> *offsets = Scan(block))
            return {block.position() + offsets->front(), length};
        if (block == start)
            break;
    }
    return {};
}

TLogMatch TLogSearch::Previous(int position)
{
    if (!Active())
        return {};
    const QTextBlock start = m_document.findBlock(std::max(0, position));
    const int length = static_cast<int>(m_text.size());
    for (QTextBlock block = start; block.isValid(); block = block.previous()) {
        if (const std::vector<int> *offsets = Scan(block)) {
            for (auto it = offsets->rbegin(); it != offsets->rend(); ++it) {
                if (block.position() + *it < position)
                    return {block.position() + *it, length};
            }
        }
    }
    for (QTextBlock block = m_document.lastBlock(); block.isValid(); block = block.previous()) {
        if (const std::vector<int> *offsets = Scan(block))
            return {block.position() + offsets->back(), length};
        if (block == start)
            break;
    }
    return {};
}

int TLogSearch::Ordinal(const TLogMatch &match) const
{
    if (!Active() || !match.Valid())
        return 0;
    const QTextBlock target = m_document.findBlock(match.position);
    int before = 0;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next()) {
        const auto *data = block.userState() == m_generation
                               ? static_cast<const TBlockMatches *>(block.userData())
                               : nullptr;
        if (block == target) {
            if (data == nullptr)
                return 0;
            const auto it = std::find(data->offsets.begin(), data->offsets.end(),
                                      match.position - block.position());
            return it == data->offsets.end()
                       ? 0
                       : before + static_cast<int>(it - data->offsets.begin()) + 1;
        }
        if (data != nullptr)
            before += static_cast<int>(data->offsets.size());
    }
    return 0;
}

std::vector<TLogMatch> TLogSearch::MatchesIn(int firstBlock, int lastBlock)
{
    std::vector<TLogMatch> found;
    if (!Active())
        return found;
    const int length = static_cast<int>(m_text.size());
    for (QTextBlock block = m_document.findBlockByNumber(firstBlock);
         block.isValid() && block.blockNumber() <= lastBlock; block = block.next()) {
        if (const std::vector<int> *offsets = Scan(block)) {
            for (const int offset : *offsets)
                found.push_back({block.position() + offset, length});
        }
    }
    return found;
}

} // namespace m845
