// "Load File", "Save File" and "Save Output As File".
#include "core/Failure.h"
#include "core/LineBreaks.h"
#include "core/FileAccess.h"
#include "core/Prefault.h"
#include "form/Form1.h"
#include "core/Procedure.h"
#include "core/ReportText.h"
#include "addresses/AddressBookWriter.h"
#include "form/AreaFileRoutines.h"
#include "listfiles/FileExists.h"
#include "form/InputWork.h"
#include "listfiles/PathNormaliser.h"
#include "reading/ContactFiles.h"
#include "reading/InputFiles.h"
#include "reading/TextFiles.h"
#include "textview/TextArea.h"

#include <QFileInfo>

#include <optional>

namespace {

constexpr int dialogFlags = 0x280201;
const QString textFilter = QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|");
const QString addressBookFilter =
    QStringLiteral("vCard Files (*.vcf)|*.vcf|vCard 3.0 Files, for Phones and Web Mail (*.vcf)|*.vcf|"
                   "LDIF Files (*.ldif)|*.ldif|Mutt Aliases (aliases *.aliases)|aliases;*.aliases|"
                   "Comma-Delimited Files (*.csv)|*.csv|Google Contacts CSV Files (*.csv)|*.csv|"
                   "Outlook CSV Files (*.csv)|*.csv|Thunderbird CSV Files (*.csv)|*.csv|");
// The address book formats that share an ending with another, by the
// filter that asks for them, and the format the ending alone gives.
struct FilteredFormat
{
    QString filter;
    AddressBookWriter::Format byEnding;
    AddressBookWriter::Format format;
};
const FilteredFormat formatsByFilter[] = {
    {QStringLiteral("vCard 3.0 Files"), AddressBookWriter::Format::VCard, AddressBookWriter::Format::VCard3},
    {QStringLiteral("Google Contacts CSV Files"), AddressBookWriter::Format::Csv, AddressBookWriter::Format::CsvGoogle},
    {QStringLiteral("Outlook CSV Files"), AddressBookWriter::Format::Csv, AddressBookWriter::Format::CsvOutlook},
    {QStringLiteral("Thunderbird CSV Files"), AddressBookWriter::Format::Csv, AddressBookWriter::Format::CsvThunderbird},
};
const QString csvFilter = QStringLiteral("Comma-Delimited Files (*.csv)|*.csv|All Files (*.*)|*.*|");
// Told when the files picked do not fit the dialog's answer.
const QString tooManyFiles = QStringLiteral("You've selected too many files to add.\r\r"
                                            "Please select fewer files at a time.");

// The bytes of the files at the paths.
qsizetype totalSize(const QStringList &paths)
{
    qsizetype size = 0;
    for (const QString &path : paths)
        size += QFileInfo(path).size() + 2;
    return size;
}

// The messages of a mail folder that could not be read, the first few
// named.
QString skippedMessages(const QStringList &skipped)
{
    constexpr qsizetype named = 10;
    QString text = QStringLiteral("These messages could not be read and were left out; the others were loaded:\r\r")
                   + skipped.first(qMin(named, skipped.size())).join(u'\r');
    if (skipped.size() > named)
        text += QStringLiteral("\rand %1 more").arg(skipped.size() - named);
    return text;
}

} // namespace

// Too many files picked for the dialog's answer is told in words of its
// own, not as an error.
void Form1::tellTooManyFiles(Procedure &p)
{
    p.setInterceptor([this](const std::exception_ptr &failure) {
        if (failureNumber(failure) != CommonDialog::BufferTooSmall)
            return false;
        m_messageBoxes.inform(tooManyFiles);
        return true;
    });
}

// The files of the addresses that "Remove Addresses Listed in File" takes
// out, picked in the Open dialog with a request of its own, which leaves the
// name that Load and Save propose as it was, and read as "Load File" reads
// them: each one's name and lines. A file that is gone or cannot be read is
// told and the others are read.
// The lines of a list file; of mail, the recipients it reports failed for
// good, one to a line (a message of a Maildir that cannot be read is told).
std::optional<QString> Form1::listedAddressesIn(const QString &path)
{
    const ContactFiles::Kind kind = ContactFiles::kindOf(path);
    if (!ContactFiles::isMail(kind))
        return readListFile(path);
    QStringList failed;
    QStringList unread;
    ContactFiles::readBounces(
        path, kind, [&failed](const BounceReader::Failed &bounced) { failed << bounced.address; },
        [&unread](const QString &entry, const QString &why) { unread << entry + QStringLiteral(": ") + why; });
    if (!unread.isEmpty())
        m_messageBoxes.warn(QStringLiteral("These messages could not be read and were left out; the others were "
                                           "read:\n") + unread.join(u'\n'),
                            m_messageBoxes.applicationTitle());
    return failed.join(QStringLiteral("\r\n"));
}

std::optional<QList<std::pair<QString, QString>>> Form1::chooseListedAddresses(const QString &title)
{
    QList<std::pair<QString, QString>> lists;
    try {
        const QString answer = CommonDialog1.askOpen(title, textFilter);
        if (answer.isEmpty())
            return std::nullopt;
        for (const QString &path : chosenPaths(answer)) {
            try {
                if (std::optional<QString> content = listedAddressesIn(path))
                    lists.append({QFileInfo(path).fileName(), linesWithBreaks(*std::move(content))});
                else
                    m_messageBoxes.inform(QStringLiteral("File not found"));
            } catch (const Failure &failure) {
                m_messageBoxes.warn(failure.description() + QStringLiteral(": ") + path, m_messageBoxes.applicationTitle());
            }
        }
    } catch (const std::bad_alloc &) {
        reportOutOfMemory();
        return std::nullopt;
    } catch (const Failure &failure) {
        if (failure.number() == CommonDialog::BufferTooSmall)
            m_messageBoxes.inform(tooManyFiles);
        else
            m_messageBoxes.warn(failure.description(), m_messageBoxes.applicationTitle());
        return std::nullopt;
    }
    return lists;
}

void Form1::PushButton3_Click()
{
    loadFiles({});
}

void Form1::openFiles(const QStringList &files, const QString &alsoText)
{
    loadFiles(files, alsoText);
}

// "Load File" of the files picked in the Open dialog, or of files given on
// the command line or dropped on the input as if picked there. They load on
// a thread of their own: the window stays responsive, a long load shows its
// progress over the input, and Escape or Cancel stops it, the input as it
// was. What the load puts in the input is one step that undo takes back. A
// file that is gone or cannot be read is told once the load is done.
void Form1::loadFiles(const QStringList &given, const QString &alsoText)
{
    Procedure p(m_errorReport, Qualifier::PushButton3_Click);
    tellTooManyFiles(p);
    QStringList paths;
    p.run(100, [&] { CommonDialog1.setFileName(QString()); });
    p.run(102, [&] { CommonDialog1.setFlags(dialogFlags); });
    p.run(104, [&] { CommonDialog1.setDialogTitle(QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files")); });
    p.run(106, [&] { CommonDialog1.setFilter(textFilter); });
    p.run(108, [&] {
        if (!given.isEmpty())
            CommonDialog1.answerNextWith(given);
        CommonDialog1.ShowOpen();
    });
    if (p.ended() || p.test(110, [&] { return CommonDialog1.FileName().isEmpty(); }))
        return;
    if (!p.run(112, [&] { paths = chosenPaths(CommonDialog1.FileName()); }))
        return;
    // What became of each file: gone, the failure reading it raised, or
    // read as the contacts of an address book or mail.
    struct Outcome
    {
        bool missing = false;
        std::exception_ptr failure;
        bool contacts = false;
        QStringList skipped;
    };
    const auto outcomes = std::make_shared<std::vector<Outcome>>(size_t(paths.size()));
    const auto load = [paths, outcomes, alsoText](QStringView, WorkProgress &progress) {
        // Room for the files' lines, as many characters as they have bytes
        // (most lists are ASCII) and a little more for line breaks made CR
        // LF, so that they are gathered without copies; the pages of the
        // characters expected are made ready while the first files are read.
        QString text;
        Prefault pages;
        try {
            const qsizetype expected = totalSize(paths);
            text.reserve(expected * 9 / 8 + alsoText.size());
            pages = Prefault::ofRoom(text.data(), qMin(expected, text.capacity()));
        } catch (const std::bad_alloc &) {
            // Files too large to hold are told one by one as they are read.
        }
        for (qsizetype i = 0; i < paths.size(); ++i) {
            if (progress.cancelled)
                throw WorkCancelled{};
            progress.permille = int(1000 * i / paths.size());
            Outcome &outcome = (*outcomes)[size_t(i)];
            try {
                if (std::optional<LoadedFile> loaded = appendListOrContacts(paths[i], text, &progress)) {
                    outcome.contacts = loaded->contacts;
                    outcome.skipped = std::move(loaded->skipped);
                } else {
                    outcome.missing = true;
                }
            } catch (const Failure &) {
                outcome.failure = std::current_exception();
            } catch (const std::bad_alloc &) {
                outcome.failure = std::current_exception();
            }
        }
        text += withCrLfLineBreaks(alsoText);
        return InputWork::Lines::following({std::move(text)});
    };
    const auto tell = [this, outcomes, paths] {
        Procedure p(m_errorReport, Qualifier::PushButton3_Click);
        for (const Outcome &outcome : *outcomes) {
            if (outcome.missing)
                m_messageBoxes.inform(QStringLiteral("File not found"));
            else if (outcome.failure)
                p.run(paths.size() > 1 ? 134 : 120, [&] { std::rethrow_exception(outcome.failure); });
            if (!outcome.skipped.isEmpty())
                m_messageBoxes.warn(skippedMessages(outcome.skipped), m_messageBoxes.applicationTitle());
        }
        // Save proposes no address book or mailbox to be replaced by a list.
        if (paths.size() == 1 && outcomes->front().contacts && CommonDialog1.FileName() == paths.front())
            CommonDialog1.setFileName(asTextFile(paths.front()));
    };
    m_inputWork->start(QStringLiteral("Load File"), {0, Text1->size()}, load, tell);
}

// The input's lines that are addresses saved as an address book, in the
// format the file's name asks for, written as Save File writes; how many
// contacts it holds and how many lines were left out is told.
void Form1::saveAddressBook()
{
    try {
        const QString path = CommonDialog1.askSave(QStringLiteral("Save as Address Book"), addressBookFilter);
        if (path.isEmpty())
            return;
        if (fileExists(path)
            && !m_messageBoxes.askYesNo(QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?")))
            return;
        // The filter chooses among the formats of the file's ending.
        const AddressBookWriter::Format byEnding = AddressBookWriter::formatForFile(path);
        AddressBookWriter::Format format = byEnding;
        for (const FilteredFormat &filtered : formatsByFilter)
            if (CommonDialog1.chosenFilter().startsWith(filtered.filter) && filtered.byEnding == byEnding)
                format = filtered.format;
        const AddressBookWriter::Book book = AddressBookWriter::of(Text1->text(), format, QFileInfo(path).completeBaseName());
        replaceFile(path, [bytes = book.bytes]() mutable { return std::exchange(bytes, {}); });
        QString told = QStringLiteral("%1 contacts saved to %2.").arg(book.contacts).arg(path);
        if (book.leftOut > 0)
            told += (book.leftOut == 1 ? QStringLiteral("\r\r1 line that is no address was left out.")
                                       : QStringLiteral("\r\r%1 lines that are no address were left out.").arg(book.leftOut));
        m_messageBoxes.inform(told);
    } catch (const std::bad_alloc &) {
        reportOutOfMemory();
    } catch (const Failure &failure) {
        m_messageBoxes.warn(failure.description(), m_messageBoxes.applicationTitle());
    }
}

void Form1::PushButton20_Click()
{
    saveThroughDialog(*Text1, Qualifier::PushButton20_Click, textFilter, 100);
}

void Form1::PushButton4_Click()
{
    saveThroughDialog(*Text2, Qualifier::PushButton4_Click, csvFilter, 106);
}

// Both save buttons run the same steps; their statements are numbered from
// firstLine on.
void Form1::saveThroughDialog(TextArea &source, const QString &qualifier, const QString &filter, int firstLine)
{
    Procedure p(m_errorReport, qualifier);
    bool chosen = false;
    p.run(firstLine, [&] { CommonDialog1.setFlags(dialogFlags); });
    p.run(firstLine + 2, [&] { CommonDialog1.setDialogTitle(QStringLiteral("Save")); });
    p.run(firstLine + 4, [&] { CommonDialog1.setFilter(filter); });
    p.run(firstLine + 6, [&] { chosen = CommonDialog1.ShowSave(); });
    if (p.test(firstLine + 8, [&] { return !chosen; }))
        return;
    if (p.test(firstLine + 10, [&] { return CommonDialog1.FileName().isEmpty(); }))
        return;
    p.run(firstLine + 12, [&] { setMousePointer(WindowPointer::Busy); });
    p.run(firstLine + 14, [&] { writeAreaToFile(source, CommonDialog1.FileName(), m_messageBoxes); });
    p.run(firstLine + 16, [&] { setMousePointer(WindowPointer::Default); });
}

