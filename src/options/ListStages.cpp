#include "options/ListStages.h"

#include "addresses/Mailboxes.h"
#include "core/Blanks.h"
#include "options/LineKeys.h"

#include <cstring>

namespace ListStages {

namespace {

// Copies a few bytes, as most lines are, without a call.
char *copied(QByteArrayView bytes, char *out)
{
    const char *from = bytes.data();
    const qsizetype size = bytes.size();
    if (size > 32)
        return static_cast<char *>(std::memcpy(out, from, size_t(size))) + size;
    if (size >= 16) {
        std::memcpy(out, from, 16);
        std::memcpy(out + size - 16, from + size - 16, 16);
    } else if (size >= 8) {
        std::memcpy(out, from, 8);
        std::memcpy(out + size - 8, from + size - 8, 8);
    } else {
        for (qsizetype i = 0; i < size; ++i)
            out[i] = from[i];
    }
    return out + size;
}

} // namespace

void Stage::takeAll(const std::vector<QByteArrayView> &lines)
{
    for (const QByteArrayView line : lines)
        take(line);
}

void Stage::takePiece(QByteArrayView piece, bool first, bool last)
{
    m_next->takePiece(piece, first, last);
}

Unique::Unique(const std::vector<quint64> *numbers, Duplicate duplicate, bool sameMailbox)
    : m_keys(numbers != nullptr), m_numbers(numbers), m_duplicate(std::move(duplicate)), m_sameMailbox(sameMailbox)
{
}

void Unique::takeAll(const std::vector<QByteArrayView> &lines)
{
    m_folded.truncate(0);
    m_ends.clear();
    m_hashes.clear();
    for (const QByteArrayView line : lines) {
        const qsizetype start = m_folded.size();
        const bool keyed = LineKeys::appendFoldedDuplicateKey(line, m_folded, m_sameMailbox);
        m_ends.push_back(keyed ? m_folded.size() : -1);
        m_hashes.push_back(keyed ? KeySet::hashOf(QByteArrayView(m_folded).sliced(start)) : 0);
    }
    constexpr std::size_t ahead = 8;
    qsizetype start = 0;
    m_first.clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i + ahead < lines.size() && m_ends[i + ahead] >= 0)
            m_keys.prefetch(m_hashes[i + ahead]);
        if (m_ends[i] < 0) {
            m_first.push_back(lines[i]);
            continue;
        }
        const QByteArrayView key = QByteArrayView(m_folded).sliced(start, m_ends[i] - start);
        const qint64 first = m_keys.insertNumbered(key, m_hashes[i], m_numbers ? (*m_numbers)[i] : 0);
        if (first < 0)
            m_first.push_back(lines[i]);
        else if (m_numbers)
            m_duplicate(i, quint64(first));
        start = m_ends[i];
    }
    m_next->takeAll(m_first);
}

void Sorting::finish()
{
    m_sorter.finish([this](QByteArrayView line) { m_next->take(line); });
    m_next->finish();
}

Joining::Joining(const ListCommand::Options &options, const ListCommand::Output &output)
    : m_separator(options.separator.toUtf8()), m_batch(options.batch), m_output(output)
{
}

void Joining::take(QByteArrayView line)
{
    if (m_batch > 0 && Blanks::trimmed(line).isEmpty())
        return;
    makeRoom(m_separator.size() + line.size() + 1);
    char *out = m_bytes.data() + m_used;
    if (m_items > 0)
        out = copied(m_separator, out);
    endItem(copied(line, out));
}

// A long line's pieces are written as they come: it is one item.
void Joining::takePiece(QByteArrayView piece, bool first, bool last)
{
    makeRoom(m_separator.size() + piece.size() + 1);
    char *out = m_bytes.data() + m_used;
    if (first && m_items > 0)
        out = copied(m_separator, out);
    out = copied(piece, out);
    if (last)
        endItem(out);
    else
        m_used = out - m_bytes.constData();
}

void Joining::endItem(char *out)
{
    if (++m_items == m_batch) {
        *out++ = '\n';
        m_items = 0;
    }
    m_used = out - m_bytes.constData();
}

void Joining::finish()
{
    if (m_batch == 0 || m_items > 0) {
        makeRoom(1);
        m_bytes[m_used++] = '\n';
    }
    m_bytes.truncate(m_used);
    m_output.write(m_bytes);
}

// Writes what is made once the room left is too small for so many bytes.
void Joining::makeRoom(qsizetype needed)
{
    if (m_used + needed <= m_bytes.size())
        return;
    m_bytes.truncate(m_used);
    m_output.write(m_bytes);
    m_bytes.resize(qMax(needed, qsizetype(1) << 20));
    m_used = 0;
}

Exporting::Exporting(const ListCommand::Options &options, const ListCommand::Output &output)
    : m_writer(*options.exportAs, options.listName, options.group), m_output(output)
{
}

void Exporting::take(QByteArrayView line)
{
    const QString text = QString::fromUtf8(line);
    if (const std::optional<Mailboxes::Mailbox> mailbox = Mailboxes::of(text))
        m_writer.add(*mailbox, m_bytes);
    else if (!Blanks::trimmed(line).isEmpty())
        ++m_leftOut;
    if (m_bytes.size() >= (1 << 20))
        m_output.write(m_bytes);
}

// A line too long to hold is no address.
void Exporting::takePiece(QByteArrayView, bool, bool last)
{
    if (last)
        ++m_leftOut;
}

void Exporting::finish()
{
    m_writer.finish(m_bytes);
    m_output.write(m_bytes);
}

} // namespace ListStages
