#include "join/ListCommand.h"

#include "addresses/AddressCheck.h"
#include "addresses/AddressExtraction.h"
#include "addresses/ContactLines.h"
#include "core/Blanks.h"
#include "join/KeySet.h"
#include "join/LineKeys.h"
#include "join/LineSorter.h"
#include "join/ListedAddresses.h"

#include <QStringEncoder>

#include <vector>

namespace ListCommand {

bool Options::isPlain() const
{
    return join && !extract && !trim && !check && !skipEmpty && exclude.isEmpty() && !unique && !sort
           && separator == u"," && batch == 0;
}

namespace {

// One step of the chain: takes a line with its number in its source, and
// hands on what it gives to the next step.
class Stage
{
public:
    virtual ~Stage() = default;
    void setNext(Stage *next) { m_next = next; }
    virtual void take(QStringView line, qsizetype number) { m_next->take(line, number); }
    virtual void endSource() { m_next->endSource(); }
    virtual void finish() { m_next->finish(); }

protected:
    Stage *m_next = nullptr;
};

// Each line's addresses in its place, read as ContactLines reads lines:
// folded ones first unfolded, within each source.
class Extracting : public Stage
{
public:
    void take(QStringView line, qsizetype number) override { m_contacts.feed(line, number, m_search); }
    void endSource() override
    {
        m_contacts.finish(m_search);
        m_next->endSource();
    }

private:
    ContactLines m_contacts;
    const ContactLines::Search m_search = [this](QStringView text, qsizetype number) {
        for (const QString &address : AddressExtraction::in(text))
            m_next->take(address, number);
    };
};

class Trimming : public Stage
{
public:
    void take(QStringView line, qsizetype number) override { m_next->take(Blanks::trimmed(line), number); }
};

class Checking : public Stage
{
public:
    Checking(const QString &source, const Output &output) : m_source(source), m_output(output) {}
    void take(QStringView line, qsizetype number) override
    {
        if (Blanks::trimmed(line).isEmpty() || AddressCheck::isAddress(line)) {
            m_next->take(line, number);
            return;
        }
        m_output.tell({m_source, number, AddressCheck::check(line).reason, line.toString()});
    }

private:
    const QString &m_source;
    const Output &m_output;
};

class SkippingEmpty : public Stage
{
public:
    void take(QStringView line, qsizetype number) override
    {
        if (!Blanks::trimmed(line).isEmpty())
            m_next->take(line, number);
    }
};

class Excluding : public Stage
{
public:
    explicit Excluding(const ListedAddresses &listed) : m_listed(listed) {}
    void take(QStringView line, qsizetype number) override
    {
        if (!m_listed.holds(line))
            m_next->take(line, number);
    }

private:
    const ListedAddresses &m_listed;
};

// The first of the lines with the same key goes on; only the keys are kept.
class Unique : public Stage
{
public:
    void take(QStringView line, qsizetype number) override
    {
        const QStringView key = LineKeys::duplicateKeyOf(line, m_address);
        if (!key.isEmpty()) {
            m_folded.clear();
            LineKeys::appendFolded(key, m_folded);
            if (!m_keys.insert(m_folded))
                return;
        }
        m_next->take(line, number);
    }

private:
    KeySet m_keys;
    QString m_address;
    QByteArray m_folded;
};

class Sorting : public Stage
{
public:
    void take(QStringView line, qsizetype) override { m_sorter.add(line); }
    void endSource() override {}
    void finish() override
    {
        m_sorter.finish([this](QStringView line) { m_next->take(line, 0); });
        m_next->finish();
    }

private:
    LineSorter m_sorter;
};

// The lines joined with the separator, all on one line or so many items to
// a line (a batch is so many recipients: empty items are none), written a
// megabyte at a time.
class Joining : public Stage
{
public:
    Joining(const Options &options, const Output &output)
        : m_separator(options.separator.toUtf8()), m_batch(options.batch), m_output(output)
    {
    }
    void take(QStringView line, qsizetype) override
    {
        if (m_batch > 0 && Blanks::trimmed(line).isEmpty())
            return;
        if (m_items > 0)
            m_bytes += m_separator;
        const qsizetype before = m_bytes.size();
        m_bytes.resize(before + line.size() * 3);
        char *end = m_utf8.appendToBuffer(m_bytes.data() + before, line);
        m_bytes.truncate(end - m_bytes.constData());
        if (++m_items == m_batch)
            endLine();
        if (m_bytes.size() >= (1 << 20))
            m_output.write(m_bytes);
    }
    void endSource() override {}
    void finish() override
    {
        if (m_batch == 0 || m_items > 0)
            endLine();
        m_output.write(m_bytes);
    }

private:
    void endLine()
    {
        m_bytes += '\n';
        m_items = 0;
    }

    const QByteArray m_separator;
    const qsizetype m_batch;
    const Output &m_output;
    QStringEncoder m_utf8{QStringEncoder::Utf8};
    QByteArray m_bytes;
    qsizetype m_items = 0;
};

// Where lines go that are not joined: --check alone tells, and that is all.
class Ending : public Stage
{
public:
    void take(QStringView, qsizetype) override {}
    void endSource() override {}
    void finish() override {}
};

} // namespace

class Run::Chain
{
public:
    Chain(const Options &options, const ListedAddresses *excluded, Output output) : m_output(std::move(output))
    {
        if (options.extract)
            add(std::make_unique<Extracting>());
        if (options.trim)
            add(std::make_unique<Trimming>());
        if (options.check)
            add(std::make_unique<Checking>(m_source, m_output));
        if (options.join) {
            if (options.skipEmpty)
                add(std::make_unique<SkippingEmpty>());
            if (excluded)
                add(std::make_unique<Excluding>(*excluded));
            if (options.unique)
                add(std::make_unique<Unique>());
            if (options.sort)
                add(std::make_unique<Sorting>());
            add(std::make_unique<Joining>(options, m_output));
        } else {
            add(std::make_unique<Ending>());
        }
    }

    void add(std::unique_ptr<Stage> stage)
    {
        if (!m_stages.empty())
            m_stages.back()->setNext(stage.get());
        m_stages.push_back(std::move(stage));
    }

    Output m_output;
    QString m_source;
    qsizetype m_number = 0;
    bool m_anyLine = false;
    std::vector<std::unique_ptr<Stage>> m_stages;
};

Run::Run(const Options &options, const ListedAddresses *excluded, Output output)
    : m_chain(std::make_unique<Chain>(options, excluded, std::move(output)))
{
}

Run::~Run() = default;

void Run::startSource(const QString &name)
{
    m_chain->m_source = name;
    m_chain->m_number = 0;
}

void Run::take(QStringView line)
{
    m_chain->m_anyLine = true;
    m_chain->m_stages.front()->take(line, ++m_chain->m_number);
}

void Run::endSource()
{
    m_chain->m_stages.front()->endSource();
}

void Run::finish()
{
    if (m_chain->m_anyLine) {
        m_chain->m_stages.front()->take(QStringView(), ++m_chain->m_number);
        m_chain->m_stages.front()->endSource();
    }
    m_chain->m_stages.front()->finish();
}

} // namespace ListCommand
