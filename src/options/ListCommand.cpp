#include "options/ListCommand.h"

#include "addresses/AddressAdvice.h"
#include "addresses/AddressCharacters.h"
#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "addresses/ContactLines.h"
#include "addresses/Mailboxes.h"
#include "addresses/AddressTokens.h"
#include "core/Blanks.h"
#include "core/Failure.h"
#include "core/Halves.h"
#include "reading/LineDecoder.h"
#include "options/LineSifting.h"
#include "options/ListStages.h"
#include "options/ListedAddresses.h"

#include <QSet>
#include <QStringEncoder>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <deque>
#include <iterator>
#include <vector>

namespace ListCommand {

using namespace ListStages;

bool Options::isPlain() const
{
    return join && !extract && !trim && !check && !skipEmpty && exclude.isEmpty() && only.isEmpty() && !unique && !sort
           && separator == u"," && batch == 0 && !report && !exportAs;
}

namespace {

// Batches of lines from this many are sifted on two threads.
constexpr qsizetype parallelFrom = 1 << 12;

// A line too long to hold whole, which comes in pieces. (Outside the chain,
// so that its member initializers are known where it is made.)
struct LongLine
{
    QByteArray start;   // its first bytes, to tell
    qsizetype length = 0;
    bool viaContacts = false; // --extract reads it where an address book or header goes on
    QString text;       // --extract: what is not yet searched
    bool begun = false; // something not blank has been handed on
    QByteArray held;    // blanks that go on only if more than blanks follows
};

} // namespace

// The chain: each line's addresses found in its place (in order, as
// ContactLines reads lines), then every line sifted (a batch at a time, on
// two threads), then duplicates, sorting and joining. With a report, what
// each step removes is gathered for the batch and told in line order.
class Run::Chain
{
public:
    Chain(const Options &options, const ListedAddresses *excluded, const RequiredLists &only, Output output)
        : m_options(options), m_excluded(excluded), m_only(only), m_output(std::move(output))
    {
        if (options.dns)
            for (AddressAdvice &adviser : m_advisers)
                adviser.setLookedUp(&m_answers);
        if (!options.join)
            return;
        if (options.unique) {
            if (options.report)
                add(std::make_unique<Unique>(
                    &m_keptNumbers, [this](std::size_t i, quint64 first) { noteDuplicate(i, first); }, options.sameMailbox));
            else
                add(std::make_unique<Unique>(nullptr, Unique::Duplicate(), options.sameMailbox));
        }
        if (options.sort)
            add(std::make_unique<Sorting>(options.sortOrder));
        if (options.exportAs) {
            auto exporting = std::make_unique<Exporting>(options, m_output);
            m_exporting = exporting.get();
            add(std::move(exporting));
        } else {
            add(std::make_unique<Joining>(options, m_output));
        }
    }

    void startSource(const QString &name, bool named)
    {
        m_named = named;
        m_sources.append(name);
        m_sourceNames.append(name.toUtf8());
        m_number = 0;
    }

    void take(const QList<QByteArrayView> &lines)
    {
        m_lines.reserve(size_t(lines.size()));
        for (const QByteArrayView line : lines) {
            ++m_number;
            if (!m_options.extract || m_named) {
                m_lines.push_back({line, m_number});
                continue;
            }
            if (m_options.report && !m_quiet)
                m_waiting.push_back({m_number, line.toByteArray()});
            const QByteArrayView text = Blanks::trimmed(line);
            if (m_contacts.readsAsItStands() && isPlainAddress(text)) {
                m_lines.push_back({text, m_number});
                countFound(m_number);
            } else {
                m_contacts.feed(QString::fromUtf8(line), m_number, m_found);
            }
        }
        const qsizetype waiting = m_contacts.waitingTag();
        siftLines(waiting < 0 ? m_number : waiting - 1);
    }

    void endSource()
    {
        if (m_long)
            takePiece({}, true);
        if (m_options.extract)
            m_contacts.finish(m_found);
        siftLines(m_number);
    }

    // A line too long to hold whole, a piece at a time: no address, but
    // joined as it is; with --extract, its addresses found a part at a
    // time; too long for --unique and --sort, which end the run.
    void takePiece(QByteArrayView piece, bool last)
    {
        if (!m_long)
            startLongLine(piece);
        m_long->length += piece.size();
        if (m_options.extract && !m_named)
            extractFromPiece(piece, last);
        else if (m_options.check && last)
            tellLongLine();
        else if (!m_options.check && m_options.join)
            passOn(piece, last);
        if (last)
            m_long.reset();
    }

    void finish()
    {
        if (!m_stages.empty())
            m_stages.front()->finish();
    }

    qsizetype m_number = 0;
    bool m_anyLine = false;
    bool m_named = false;
    Exporting *m_exporting = nullptr;
    bool m_quiet = false; // the empty line after the last is no line of a source: not reported

private:
    void startLongLine(QByteArrayView piece)
    {
        ++m_number;
        if (m_options.join && (m_options.unique || m_options.sort))
            throw Failure(QStringLiteral("%1:%2: a line longer than %3 MiB cannot be sorted or compared: "
                                         "--unique and --sort take shorter lines")
                              .arg(m_sources.constLast())
                              .arg(m_number)
                              .arg(LineDecoder::longestHeldLine >> 20));
        m_long.emplace();
        m_long->start = piece.first(qMin<qsizetype>(piece.size(), 256)).toByteArray();
        m_long->viaContacts = m_options.extract && !m_named && !m_contacts.readsAsItStands();
        if (m_options.extract && !m_named && m_options.report && !m_quiet)
            m_waiting.push_back({m_number, {}, 0});
    }

    void extractFromPiece(QByteArrayView piece, bool last)
    {
        LongLine &line = *m_long;
        if (line.viaContacts) {
            if (line.length == piece.size())
                m_contacts.feed(QString::fromUtf8(piece.first(qMin(piece.size(), AddressTokens::longestRead + 1))),
                                m_number, m_found);
        } else {
            // Searched a part at a time, each cut between addresses, and
            // sifted before the next; what follows the last cut waits for
            // the next piece.
            const QString text = line.text + QString::fromUtf8(piece);
            qsizetype from = 0;
            while (text.size() - from > AddressTokens::longestRead || (last && from < text.size())) {
                const QStringView part = QStringView(text).sliced(from).first(qMin(text.size() - from, 2 * AddressTokens::longestRead));
                qsizetype cut = last && from + part.size() == text.size() ? part.size()
                                                                          : AddressTokens::cutAfterLastSeparator(part);
                if (cut <= 0)
                    cut = part.size();
                m_found(part.first(cut), m_number);
                from += cut;
                siftLines(m_number - 1);
            }
            line.text = text.sliced(from);
        }
        if (!last) {
            siftLines(m_number - 1);
            return;
        }
        if (!m_waiting.empty() && m_waiting.back().number == m_number)
            m_waiting.back().text = toldText(line.start, line.length);
        const qsizetype waiting = m_contacts.waitingTag();
        siftLines(waiting < 0 ? m_number : waiting - 1);
    }

    void tellLongLine()
    {
        const QString reason = AddressCheck::tooLongReason();
        const QByteArray text = toldText(m_long->start, m_long->length);
        if (m_options.report)
            note(m_number, "not an address: " + reason.toUtf8(), text);
        m_output.tell({m_sources.constLast(), m_number, reason, QString::fromUtf8(text), false});
        tellNotes();
    }

    // The pieces go on to be joined: trimmed where asked, and left out
    // where asked when they are blanks alone.
    void passOn(QByteArrayView piece, bool last)
    {
        LongLine &line = *m_long;
        if (m_options.trim && !line.begun)
            piece = withoutLeadingBlanks(piece);
        const QByteArrayView body = withoutTrailingBlanks(piece);
        if (!body.isEmpty()) {
            handOnPiece(line.held, false);
            handOnPiece(body, false);
            line.held = piece.sliced(body.size()).toByteArray();
        } else {
            line.held += piece;
        }
        if (!last)
            return;
        // An address book leaves out blank lines, uncounted.
        if (!line.begun && m_exporting)
            return;
        if (!line.begun && m_options.skipEmpty) {
            if (m_options.report)
                note(m_number, "empty", toldText(line.start, line.length));
            tellNotes();
            return;
        }
        handOnPiece(m_options.trim ? QByteArrayView() : QByteArrayView(line.held), true);
    }

    void handOnPiece(QByteArrayView bytes, bool last)
    {
        if (bytes.isEmpty() && !last)
            return;
        m_stages.front()->takePiece(bytes, !m_long->begun, last);
        m_long->begun = true;
    }

    // A line extracted from waits until every address it holds is found.
    struct Waiting
    {
        qsizetype number = 0;
        QByteArray text;
        qsizetype found = 0;
    };

    void add(std::unique_ptr<Stage> stage)
    {
        if (!m_stages.empty())
            m_stages.back()->setNext(stage.get());
        m_stages.push_back(std::move(stage));
    }

    void appendNumber(QByteArray &out, qsizetype n)
    {
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    }

    // A line of the report, written at once among the batch's.
    void note(qsizetype number, QByteArrayView reason, QByteArrayView text)
    {
        if (m_quiet)
            return;
        const qsizetype start = m_noteBytes.size();
        m_noteBytes += m_sourceNames.constLast();
        m_noteBytes += ':';
        appendNumber(m_noteBytes, number);
        m_noteBytes += ": ";
        m_noteBytes += reason;
        m_noteBytes += ": ";
        m_noteBytes += text;
        m_noteBytes += '\n';
        m_notes.push_back({number, start, m_noteBytes.size()});
    }

    void countFound(qsizetype number)
    {
        const qsizetype at = m_waiting.empty() ? -1 : number - m_waiting.front().number;
        if (at >= 0 && at < qsizetype(m_waiting.size()))
            ++m_waiting[size_t(at)].found;
    }

    // The lines up to this one have given all their addresses: those that
    // gave none, or several, are told.
    void noteExtracted(qsizetype upTo)
    {
        while (!m_waiting.empty() && m_waiting.front().number <= upTo) {
            const Waiting &line = m_waiting.front();
            if (line.found != 1)
                note(line.number,
                     line.found == 0 ? QByteArray("no address found") : QByteArray::number(line.found) + " addresses found",
                     line.text);
            m_waiting.pop_front();
        }
    }

    void noteSifted(const Line &line, const QString &checkReason)
    {
        if (line.kept)
            return;
        if (!checkReason.isNull())
            note(line.number, "not an address: " + checkReason.toUtf8(), line.text);
        else if (line.empty)
            note(line.number, "empty", line.text);
        else if (line.listed >= 0)
            note(line.number, "listed in " + m_options.exclude.value(qsizetype(line.listed)).toUtf8(), line.text);
        else if (line.notIn >= 0)
            note(line.number, "not listed in " + m_options.only.value(qsizetype(line.notIn)).toUtf8(), line.text);
    }

    // A line's place for the report, in one number: its source's number
    // above its line's.
    static constexpr int placeBits = 40;
    static quint64 placeOf(qsizetype source, qsizetype number) { return quint64(source) << placeBits | quint64(number); }
    static qsizetype sourceAt(quint64 place) { return qsizetype(place >> placeBits); }
    static qsizetype numberAt(quint64 place) { return qsizetype(place & ((quint64(1) << placeBits) - 1)); }

    void noteDuplicate(std::size_t i, quint64 first)
    {
        const qsizetype source = sourceAt(first);
        const qsizetype firstNumber = numberAt(first);
        m_reason.truncate(0);
        m_reason += "duplicate of ";
        if (source == m_sources.size() - 1)
            m_reason += "line ";
        else
            m_reason += m_sourceNames.at(source) + ':';
        appendNumber(m_reason, firstNumber);
        note(numberAt(m_keptNumbers[i]), m_reason, m_keptLines[i]);
    }

    // The lines sifted, each half of them on a thread of its own, and what
    // is kept handed on in order, with what --check tells.
    void siftLines(qsizetype extractedUpTo)
    {
        for (Line &line : m_lines)
            if (line.found >= 0)
                line.text = QByteArrayView(m_foundBytes).sliced(line.found, line.size);
        if (m_options.dns && m_options.check && m_options.warnings)
            lookUpDomains();
        // Each half has an adviser of its own: the first half starts at 0.
        const auto siftRange = [this](qsizetype from, qsizetype to) {
            std::vector<std::pair<qsizetype, Told>> told;
            AddressAdvice &adviser = m_advisers[from == 0 ? 0 : 1];
            for (qsizetype i = from; i < to; ++i) {
                Told line;
                sift(m_lines[size_t(i)], line, m_options, m_excluded, m_only, adviser);
                if (!line.reason.isNull())
                    told.emplace_back(i, std::move(line));
            }
            return told;
        };
        std::vector<std::pair<qsizetype, Told>> told;
        for (auto &half : inHalves(qsizetype(m_lines.size()), parallelFrom, siftRange))
            std::move(half.begin(), half.end(), std::back_inserter(told));
        if (m_options.report)
            noteExtracted(extractedUpTo);
        auto nextTold = told.begin();
        for (std::size_t i = 0; i < m_lines.size() && m_options.report; ++i) {
            const bool isTold = nextTold != told.end() && std::size_t(nextTold->first) == i;
            noteSifted(m_lines[i], isTold && !nextTold->second.warning ? nextTold->second.reason : QString());
            nextTold += isTold ? 1 : 0;
        }
        for (auto &[i, what] : told) {
            const Line &line = m_lines[size_t(i)];
            m_output.tell({m_sources.constLast(), line.number, std::move(what.reason),
                           QString::fromUtf8(toldText(line.text, line.text.size())), what.warning});
        }
        m_keptLines.clear();
        m_keptNumbers.clear();
        for (const Line &line : m_lines) {
            if (!line.kept)
                continue;
            m_keptLines.push_back(line.text);
            if (m_options.report)
                m_keptNumbers.push_back(placeOf(m_sources.size() - 1, line.number));
        }
        if (!m_keptLines.empty())
            m_stages.front()->takeAll(m_keptLines);
        m_lines.clear();
        m_foundBytes.truncate(0);
        tellNotes();
    }

    // With --dns, the domains of the batch's addresses not asked about yet
    // (and those they might have been meant to be) are asked about at once,
    // before the advice on them.
    void lookUpDomains()
    {
        QList<QByteArray> toAsk;
        for (const Line &line : m_lines) {
            const QString text = QString::fromUtf8(line.text);
            const QStringView address = AddressCheck::address(text);
            if (address.isEmpty())
                continue;
            for (const QByteArray &domain : AddressAdvice::domainsToAsk(address))
                if (!m_asked.contains(domain)) {
                    m_asked.insert(domain);
                    toAsk.append(domain);
                }
        }
        if (toAsk.isEmpty())
            return;
        DomainLookup::Settings settings;
        settings.progress = m_output.lookingUp;
        m_answers.insert(DomainLookup::lookUp(toAsk, nullptr, settings));
    }

    // The batch's report in the order of the lines: the steps after
    // sifting tell of earlier lines than it did.
    void tellNotes()
    {
        if (m_notes.empty())
            return;
        const auto byLine = [](const Note &a, const Note &b) { return a.number < b.number; };
        if (!std::is_sorted(m_notes.begin(), m_notes.end(), byLine)) {
            std::stable_sort(m_notes.begin(), m_notes.end(), byLine);
            QByteArray sorted;
            sorted.reserve(m_noteBytes.size());
            for (const Note &note : m_notes)
                sorted += QByteArrayView(m_noteBytes).sliced(note.start, note.end - note.start);
            m_noteBytes.swap(sorted);
        }
        m_output.removed(m_noteBytes);
        m_notes.clear();
        m_noteBytes.truncate(0);
    }

    const Options &m_options;
    const ListedAddresses *m_excluded;
    const RequiredLists &m_only;
    Output m_output;
    std::vector<std::unique_ptr<Stage>> m_stages;
    QStringList m_sources; // the names of the sources so far, the one being read last
    std::vector<Line> m_lines; // to be sifted
    std::vector<QByteArrayView> m_keptLines;
    std::vector<quint64> m_keptNumbers; // with a report: each kept line's place
    std::deque<Waiting> m_waiting;      // with a report: lines whose addresses are being found
    // With a report: what the batch at hand removed, each line's where it
    // stands among the bytes.
    struct Note
    {
        qsizetype number;
        qsizetype start;
        qsizetype end;
    };
    std::vector<Note> m_notes;
    QByteArray m_noteBytes;
    QByteArray m_reason;
    QByteArrayList m_sourceNames; // in UTF-8
    ContactLines m_contacts;
    std::optional<LongLine> m_long;
    QByteArray m_foundBytes; // the addresses found in lines, until they are sifted
    QStringEncoder m_utf8{QStringEncoder::Utf8};
    AddressAdvice m_advisers[2];
    AddressAdvice::Answers m_answers; // with --dns: what the mail system said of each domain asked about
    QSet<QByteArray> m_asked;
    const ContactLines::Search m_found = [this](QStringView text, qsizetype number) {
        AddressExtraction::each(text, [this, number](QStringView address) {
            const qsizetype start = m_foundBytes.size();
            m_foundBytes.resize(start + address.size() * 3);
            char *end = m_utf8.appendToBuffer(m_foundBytes.data() + start, address);
            m_foundBytes.truncate(end - m_foundBytes.constData());
            m_lines.push_back({{}, number, false, start, m_foundBytes.size() - start});
            countFound(number);
        });
    };
};

Run::Run(const Options &options, const ListedAddresses *excluded, const RequiredLists &only, Output output)
    : m_chain(std::make_unique<Chain>(options, excluded, only, std::move(output)))
{
}

Run::~Run() = default;

void Run::startSource(const QString &name, bool named)
{
    m_chain->startSource(name, named);
}

void Run::take(const QList<QByteArrayView> &lines)
{
    m_chain->m_anyLine = m_chain->m_anyLine || !lines.isEmpty();
    m_chain->take(lines);
}

void Run::takePiece(QByteArrayView piece, bool last)
{
    m_chain->m_anyLine = true;
    m_chain->takePiece(piece, last);
}

void Run::takeAfterLastBreak()
{
    m_chain->m_quiet = true;
    take({QByteArrayView()});
    m_chain->m_quiet = false;
}

void Run::endSource()
{
    m_chain->endSource();
}

void Run::finish()
{
    if (m_chain->m_anyLine) {
        m_chain->m_quiet = true;
        m_chain->m_named = false;
        m_chain->take({QByteArrayView()});
        m_chain->endSource();
    }
    m_chain->finish();
}

} // namespace ListCommand

namespace ListCommand {

qsizetype Run::leftOut() const
{
    return m_chain->m_exporting ? m_chain->m_exporting->leftOut() : 0;
}

} // namespace ListCommand
