#include "join/ListCommand.h"

#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "join/LineJoiner.h"
#include "join/ListTidying.h"

#include <vector>

namespace ListCommand {

namespace {

using Operation = ListTidying::Operation;

// A line with where it came from.
struct Line
{
    QStringView text;
    qsizetype source = 0;
    qsizetype number = 0; // in its source, from 1
};

// The lines of the sources one after the other, as the input holds them: the
// CR LF after each source's last line ends that line, and the one after the
// last source's leaves an empty line at the end.
std::vector<Line> linesOf(const QList<Source> &sources)
{
    std::vector<Line> lines;
    for (qsizetype source = 0; source < sources.size(); ++source) {
        const QList<QStringView> pieces = LineJoiner::cutAtLineBreaks(sources[source].text);
        for (qsizetype i = 0; i + 1 < pieces.size(); ++i)
            lines.push_back({pieces[i], source, i + 1});
    }
    if (!lines.empty())
        lines.push_back({QStringView(), lines.back().source, lines.back().number + 1});
    return lines;
}

// Each line's addresses in its place, each with the line's number; the
// found addresses are kept in store.
std::vector<Line> extracted(const std::vector<Line> &lines, QStringList &store)
{
    std::vector<Line> found;
    for (const Line &line : lines) {
        for (const QString &address : AddressExtraction::in(line.text)) {
            store << address;
            found.push_back({QStringView(store.back()), line.source, line.number});
        }
    }
    return found;
}

QList<QStringView> textsOf(const std::vector<Line> &lines)
{
    QList<QStringView> texts;
    texts.reserve(qsizetype(lines.size()));
    for (const Line &line : lines)
        texts << line.text;
    return texts;
}

// Joined, the whole list on one line or so many items to a line; a batch is
// so many recipients, and empty items are none.
QList<QByteArray> joined(QList<QStringView> lines, const Options &options)
{
    if (options.batch == 0)
        return {LineJoiner::joined(lines, options.separator).toUtf8() + '\n'};
    lines = ListTidying(lines).apply(Operation::RemoveEmpty);
    QList<QByteArray> output;
    for (qsizetype from = 0; from < lines.size(); from += options.batch)
        output << LineJoiner::joined(lines.mid(from, options.batch), options.separator).toUtf8() + '\n';
    return output;
}

} // namespace

bool Options::isPlain() const
{
    return join && !extract && !trim && !check && !skipEmpty && exclude.isEmpty() && !unique && !sort
           && separator == u"," && batch == 0;
}

QStringList addressKeysIn(QStringView text)
{
    QStringList keys;
    for (QStringView line : LineJoiner::cutAtLineBreaks(text)) {
        if (const QString key = AddressCheck::key(line); !key.isEmpty()) {
            keys << key;
            continue;
        }
        for (const QString &address : AddressExtraction::in(line))
            if (const QString key = AddressCheck::key(address); !key.isEmpty())
                keys << key;
    }
    return keys;
}

Result run(const QList<Source> &sources, const QStringList &excludedKeys, const Options &options)
{
    Result result;
    QStringList store;
    std::vector<Line> lines = linesOf(sources);
    if (options.extract)
        lines = extracted(lines, store);
    if (options.trim)
        for (Line &line : lines)
            line.text = ListTidying::trimmed(line.text);
    if (options.check) {
        std::vector<Line> addresses;
        for (const Line &line : lines) {
            const AddressCheck::Verdict verdict = AddressCheck::check(line.text);
            if (verdict.empty || verdict.isAddress())
                addresses.push_back(line);
            else
                result.notAddresses.append({sources[line.source].name, line.number, verdict.reason, line.text.toString()});
        }
        lines = std::move(addresses);
    }
    if (!options.join)
        return result;
    QList<QStringView> texts = textsOf(lines);
    lines = {};
    if (options.skipEmpty)
        texts = ListTidying(texts).apply(Operation::RemoveEmpty);
    if (!options.exclude.isEmpty())
        texts = ListTidying(texts).withoutListed(excludedKeys);
    if (options.unique)
        texts = ListTidying(texts).apply(Operation::RemoveDuplicates);
    if (options.sort)
        texts = ListTidying(texts).apply(Operation::Sort);
    result.lines = joined(texts, options);
    return result;
}

} // namespace ListCommand
