#include "app/CommandLine.h"

#include "core/Failure.h"
#include "core/FileAccess.h"
#include "reading/ListFileDecoding.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString joinOption = QStringLiteral("join");
const QString checkOption = QStringLiteral("check");
const QString strictOption = QStringLiteral("strict");
const QString noWarningsOption = QStringLiteral("no-warnings");
const QString extractOption = QStringLiteral("extract");
const QString excludeOption = QStringLiteral("exclude");
const QString onlyOption = QStringLiteral("only");
const QString trimOption = QStringLiteral("trim");
const QString skipEmptyOption = QStringLiteral("skip-empty");
const QString uniqueOption = QStringLiteral("unique");
const QString groupOption = QStringLiteral("group");
const QString sameMailboxOption = QStringLiteral("same-mailbox");
const QString sortOption = QStringLiteral("sort");
const QString separatorOption = QStringLiteral("separator");
const QString batchOption = QStringLiteral("batch");
const QString composeOption = QStringLiteral("compose");
const QString reportOption = QStringLiteral("report");
const QString exportOption = QStringLiteral("export");
const QString fromRecipientOption = QStringLiteral("from-recipient");
const QString toOption = QStringLiteral("to");
const QString bouncedOption = QStringLiteral("bounced");
const QString subjectOption = QStringLiteral("subject");
const QString bodyFileOption = QStringLiteral("body-file");
const QString allowOption = QStringLiteral("allow");
const QString dnsOption = QStringLiteral("dns");

// A whole number of 1 or more written in digits alone, or 0 when the text
// is none: no sign, no spaces.
qsizetype wholeNumber(const QString &text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return 0;
    bool number = false;
    const qlonglong size = text.toLongLong(&number);
    return number && size > 0 ? qsizetype(size) : 0;
}

// Options Qt takes for itself when the window is made.
const QStringList qtOptions = {
    QStringLiteral("platform"),   QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),     QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowtitle"),
    QStringLiteral("qwindowicon"), QStringLiteral("reverse"),           QStringLiteral("stylesheet"),
    QStringLiteral("style"),      QStringLiteral("session"),            QStringLiteral("widgetcount"),
    QStringLiteral("display"),    QStringLiteral("geometry"),           QStringLiteral("name"),
    QStringLiteral("title"),      QStringLiteral("visual"),             QStringLiteral("ncols"),
    QStringLiteral("cmap"),       QStringLiteral("nograb"),             QStringLiteral("dograb"),
    QStringLiteral("sync"),       QStringLiteral("dialogs"),            QStringLiteral("fontengine"),
    QStringLiteral("qmljsdebugger"),
};

} // namespace

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Joins lists of items, one per line, into one comma-delimited line.\n"
                       "Without --join, opens the window with the files loaded into the input.\n\n"
                       "Examples:\n"
                       "  kestrava --join lists/*.txt > joined.csv\n"
                       "  kestrava --join --trim --skip-empty --unique --sort --separator='; ' --batch=100 lists/*.txt\n"
                       "  kestrava --join --extract --check --exclude=unsubscribed.txt contacts.csv\n\n"
                       "The options act in this order, whatever the order given: --extract, --trim, --check,\n"
                       "--skip-empty, --exclude, --unique, --sort; then the lines are joined.\n\n"
                       "Exit status: 0 if all went well, 1 if --check found a line that is no address (or,\n"
                       "with --strict, a warning), 2 for trouble: a file that could not be read or written,\n"
                       "a failed run or mail program, a wrong option."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({joinOption, QStringLiteral("Print the joined line of the files to standard output; "
                                                 "no file, or -, reads standard input.")});
    parser.addOption({checkOption, QStringLiteral("Tell every line that is no e-mail address on standard error, as "
                                                  "FILE:LINE: REASON: TEXT; with --join, leave such lines out. "
                                                  "Addresses that will likely not arrive are told as FILE:LINE: "
                                                  "warning: REASON: TEXT and kept: a mistyped domain (\"did you "
                                                  "mean ann@gmail.com?\"), a top-level domain that does not exist, "
                                                  "a domain for examples only, letters of two scripts that look "
                                                  "alike, a domain that hands out throwaway addresses, a no-reply "
                                                  "or role address (noreply@, postmaster@, info@).")});
    parser.addOption({strictOption, QStringLiteral("With --check: warnings, too, make the exit status 1.")});
    parser.addOption({noWarningsOption, QStringLiteral("With --check: tell no warnings, only the lines that are no "
                                                       "address.")});
    parser.addOption({dnsOption, QStringLiteral("With --check: ask the mail system (DNS) whether each domain takes "
                                                "mail, each once, many at a time: one that does not is told (\"x.example "
                                                "does not take mail (no such domain)\"), and a mistyped domain is told "
                                                "only when it takes none and the one it was likely meant to be does. "
                                                "The resolver is the system's, or KESTRAVA_DNS_SERVER=IP:PORT.")});
    parser.addOption({allowOption, QStringLiteral("With --check: warn of nothing at the addresses and domains FILE "
                                                  "lists, one to a line (ann@x.org, x.org), as of those in "
                                                  "~/.config/kestrava/allow.txt; may be given again."),
                      QStringLiteral("FILE")});
    parser.addOption({extractOption, QStringLiteral("With --join or --check: put in place of each line the e-mail "
                                                    "addresses in it (\"Ann <ann@x.org>, bob@y.org\" gives two lines).")});
    parser.addOption({onlyOption, QStringLiteral("With --join: keep only the lines whose address is in FILE (and in "
                                                 "every other --only FILE), read as --exclude reads its lists."),
                      QStringLiteral("FILE")});
    parser.addOption({excludeOption, QStringLiteral("With --join: leave out the lines whose address is in FILE, "
                                                    "compared ignoring case and names; may be given again."),
                      QStringLiteral("FILE")});
    parser.addOption({trimOption, QStringLiteral("With --join or --check: remove spaces and tabs at the start and end of "
                                                 "every line (\" ann@x.org \" gives \"ann@x.org\").")});
    parser.addOption({skipEmptyOption, QStringLiteral("With --join: leave out empty lines, lines of spaces and tabs "
                                                      "only, and empty files (\"a,,b,\" gives \"a,b\").")});
    parser.addOption({uniqueOption, QStringLiteral("With --join: keep the first of lines that are equal ignoring "
                                                   "case and spaces or tabs at either end, or that hold the same "
                                                   "address (\"Ann <Ann@x.org>\" and \"ann@x.org \" count once).")});
    parser.addOption({sameMailboxOption, QStringLiteral("With --unique, --exclude or --only: count the addresses that "
                                                        "a provider delivers to one mailbox as one (Gmail ignores dots "
                                                        "and takes googlemail.com for gmail.com; Gmail, Outlook, iCloud, "
                                                        "Fastmail and Proton ignore +tag). The first form met is kept.")});
    parser.addOption({sortOption, QStringLiteral("With --join: sort the lines alphabetically, ignoring case and "
                                                 "spaces or tabs at either end; empty lines come first "
                                                 "(\"bo,Ann,cy\" gives \"Ann,bo,cy\"). --sort=address sorts by the "
                                                 "address in each line, --sort=domain by domain (subdomains beside "
                                                 "their parent), then local part; lines that hold no address come "
                                                 "last. Equal lines keep their order."),
                      QStringLiteral("line|address|domain")});
    parser.addOption({separatorOption, QStringLiteral("With --join: put TEXT between items instead of a comma "
                                                      "(--separator='; ')."),
                      QStringLiteral("TEXT")});
    parser.addOption({batchOption, QStringLiteral("With --join: end a line after every N items, for mail "
                                                  "services that take so many recipients (--batch=100)."),
                      QStringLiteral("N")});
    parser.addOption({composeOption, QStringLiteral("With --join and --batch: open the mail program's composer for each "
                                                    "batch instead of printing it, the recipients in Bcc (--compose=to: "
                                                    "in To). The first batch opens at once; on a terminal, Enter opens "
                                                    "each next one; without one, only the first opens. What is not "
                                                    "written is told, with the --from-recipient that goes on."),
                      QStringLiteral("bcc|to")});
    parser.addOption({fromRecipientOption, QStringLiteral("With --compose: start with recipient N of the list, as "
                                                          "numbered on standard error (--from-recipient=101); the "
                                                          "batches stay as they were."),
                      QStringLiteral("N")});
    parser.addOption({bouncedOption, QStringLiteral("With --join: list, one to a line, the recipients that the mail "
                                                    "files (delivery status notifications in saved messages, mbox "
                                                    "files, Maildir folders) report failed for good; with --report, "
                                                    "each with its status and the server's words. Such mail is also "
                                                    "an --exclude list.")});
    parser.addOption({toOption, QStringLiteral("With --compose: put ADDR (your own, commonly) in To of every message; "
                                               "it counts as one of the --batch recipients."),
                      QStringLiteral("ADDR")});
    parser.addOption({subjectOption, QStringLiteral("With --compose: the subject of every message."),
                      QStringLiteral("TEXT")});
    parser.addOption({bodyFileOption, QStringLiteral("With --compose: the text of every message, read from FILE "
                                                     "(a mailto: link carries no attachment)."),
                      QStringLiteral("FILE")});
    parser.addOption({reportOption, QStringLiteral("With --join: write to FILE every line the options remove, and why, "
                                                   "as FILE:LINE: REASON: TEXT (\"empty\", \"duplicate of line 12\", "
                                                   "\"listed in bounced.txt\", \"no address found\"); a line split "
                                                   "into several addresses is told too (\"3 addresses found\")."),
                      QStringLiteral("FILE")});
    parser.addOption({exportOption, QStringLiteral("With --join: write the lines that are addresses as an address book "
                                                   "instead of joining them, one contact per address, with its name: "
                                                   "vCard 4.0, vCard 3.0 (which phones and web mail import), LDIF "
                                                   "(contacts and one mailing list), mutt aliases, CSV with Name and "
                                                   "E-mail Address columns, or CSV with the columns Google Contacts, "
                                                   "Outlook or Thunderbird import; other lines are left out and "
                                                   "counted. Address books (.vcf, .ldif, .csv with a heading that "
                                                   "names e-mail columns) and mail (.eml, .mbox, Maildir folders) are "
                                                   "read as their contacts, as --extract reads them."),
                      QStringLiteral("vcard|vcard3|ldif|mutt|csv|csv-google|csv-outlook|csv-thunderbird")});
    parser.addOption({groupOption, QStringLiteral("With --export=vcard, vcard3 or ldif: the whole list as one contact "
                                                  "group (a mailing list) named NAME, beside its contacts."),
                      QStringLiteral("NAME")});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("List files to load; with --extract or --export, address books and mail too."),
                                 QStringLiteral("[FILE...]"));
}

QString helpText(const QCommandLineParser &parser)
{
    // --compose and --sort may go without their values, which Qt's help
    // cannot show.
    return parser.helpText()
        .replace(u"--compose <bcc|to>"_s, u"--compose[=bcc|to]"_s)
        .replace(u"--sort <line|address|domain>"_s, u"--sort[=line|address|domain]"_s);
}

// The options that may go without their values get their defaults, up to
// the "--" after which every argument is a file.
QStringList withOptionValues(QStringList arguments)
{
    for (QString &argument : arguments) {
        if (argument == u"--")
            break;
        if (argument == u"--compose" || argument == u"-compose")
            argument = QStringLiteral("--compose=bcc");
        else if (argument == u"--sort" || argument == u"-sort")
            argument = QStringLiteral("--sort=line");
    }
    return arguments;
}

Request readArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    arguments = withOptionValues(arguments);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    describeOptions(parser);
    if (!parser.parse(arguments)) {
        QStringList unknown = parser.unknownOptionNames();
        unknown.removeIf([](const QString &name) { return qtOptions.contains(name); });
        if (!unknown.isEmpty())
            return {Request::Wrong, QStringLiteral("unknown option '%1'").arg(unknown.first())};
        if (parser.unknownOptionNames().isEmpty())
            return {Request::Wrong, parser.errorText()};
    }
    if (parser.isSet(batchOption) && wholeNumber(parser.value(batchOption)) == 0)
        return {Request::Wrong,
                QStringLiteral("--batch needs a whole number of 1 or more, not '%1'").arg(parser.value(batchOption))};
    if (parser.isSet(composeOption) && !QStringList{u"bcc"_s, u"to"_s}.contains(parser.value(composeOption)))
        return {Request::Wrong, QStringLiteral("--compose needs bcc or to, not '%1'").arg(parser.value(composeOption))};
    if (parser.isSet(sortOption) && !SortKeys::orderNamed(parser.value(sortOption)))
        return {Request::Wrong,
                QStringLiteral("--sort needs line, address or domain, not '%1'").arg(parser.value(sortOption))};
    if (parser.isSet(composeOption) && (!parser.isSet(batchOption) || parser.isSet(separatorOption)))
        return {Request::Wrong, QStringLiteral("--compose works only with --join and --batch, and no --separator")};
    if (parser.isSet(fromRecipientOption) && wholeNumber(parser.value(fromRecipientOption)) == 0)
        return {Request::Wrong, QStringLiteral("--from-recipient needs a whole number of 1 or more, not '%1'")
                                    .arg(parser.value(fromRecipientOption))};
    if (parser.isSet(bouncedOption)) {
        for (const QString &option : parser.optionNames())
            if (option != joinOption && option != bouncedOption && option != reportOption)
                return {Request::Wrong, QStringLiteral("--bounced takes no other option than --join and --report")};
        if (!parser.isSet(joinOption))
            return {Request::Wrong, QStringLiteral("--bounced works only with --join")};
    }
    for (const QString &option : {fromRecipientOption, toOption, subjectOption, bodyFileOption})
        if (parser.isSet(option) && !parser.isSet(composeOption))
            return {Request::Wrong, QStringLiteral("--%1 works only with --compose").arg(option)};
    if (parser.isSet(toOption) && wholeNumber(parser.value(batchOption)) < 2)
        return {Request::Wrong, QStringLiteral("--to counts as one of the --batch recipients: --batch needs 2 or more")};
    if (parser.isSet(exportOption) && !AddressBookWriter::formatNamed(parser.value(exportOption)))
        return {Request::Wrong, QStringLiteral("--export needs vcard, vcard3, ldif, mutt, csv, csv-google, csv-outlook "
                                               "or csv-thunderbird, not '%1'")
                                    .arg(parser.value(exportOption))};
    if (parser.isSet(groupOption)
        && !QStringList{u"vcard"_s, u"vcard4"_s, u"vcard3"_s, u"ldif"_s}.contains(parser.value(exportOption).toLower()))
        return {Request::Wrong, QStringLiteral("--group works only with --export=vcard, vcard3 or ldif")};
    if (parser.isSet(groupOption) && parser.value(groupOption).trimmed().isEmpty())
        return {Request::Wrong, QStringLiteral("--group needs a NAME")};
    if (parser.isSet(exportOption) && (parser.isSet(batchOption) || parser.isSet(separatorOption)))
        return {Request::Wrong, QStringLiteral("--export writes an address book: not with --batch or --separator")};
    for (const QString &option : {skipEmptyOption, excludeOption, onlyOption, uniqueOption, sameMailboxOption, sortOption, separatorOption, batchOption,
                                  composeOption, reportOption, exportOption})
        if (parser.isSet(option) && !parser.isSet(joinOption))
            return {Request::Wrong, QStringLiteral("--%1 works only with --join").arg(option)};
    if (parser.isSet(sameMailboxOption) && !parser.isSet(uniqueOption) && !parser.isSet(excludeOption)
        && !parser.isSet(onlyOption))
        return {Request::Wrong, QStringLiteral("--same-mailbox works only with --unique, --exclude or --only")};
    for (const QString &option : {extractOption, trimOption})
        if (parser.isSet(option) && !parser.isSet(joinOption) && !parser.isSet(checkOption))
            return {Request::Wrong, QStringLiteral("--%1 works only with --join or --check").arg(option)};
    for (const QString &option : {strictOption, noWarningsOption, allowOption, dnsOption})
        if (parser.isSet(option) && !parser.isSet(checkOption))
            return {Request::Wrong, QStringLiteral("--%1 works only with --check").arg(option)};
    const bool noWindow = parser.isSet(joinOption) || parser.isSet(checkOption) || parser.isSet(QStringLiteral("help"))
                          || parser.isSet(QStringLiteral("help-all")) || parser.isSet(QStringLiteral("version"));
    return {noWindow ? Request::NoWindow : Request::Window, {}};
}

ListCommand::Options joinOptionsOf(const QCommandLineParser &parser)
{
    ListCommand::Options options;
    options.join = parser.isSet(joinOption);
    options.check = parser.isSet(checkOption);
    options.strict = parser.isSet(strictOption);
    options.warnings = !parser.isSet(noWarningsOption);
    options.extract = parser.isSet(extractOption);
    options.exclude = parser.values(excludeOption);
    options.only = parser.values(onlyOption);
    options.allow = parser.values(allowOption);
    options.dns = parser.isSet(dnsOption);
    options.trim = parser.isSet(trimOption);
    options.skipEmpty = parser.isSet(skipEmptyOption);
    options.unique = parser.isSet(uniqueOption);
    options.sameMailbox = parser.isSet(sameMailboxOption);
    options.sort = parser.isSet(sortOption);
    if (options.sort)
        options.sortOrder = *SortKeys::orderNamed(parser.value(sortOption));
    if (parser.isSet(separatorOption))
        options.separator = parser.value(separatorOption);
    // The address in To is one of the message's recipients.
    if (parser.isSet(batchOption))
        options.batch = wholeNumber(parser.value(batchOption)) - (parser.isSet(toOption) ? 1 : 0);
    options.report = parser.isSet(reportOption);
    if (parser.isSet(exportOption))
        options.exportAs = AddressBookWriter::formatNamed(parser.value(exportOption));
    if (parser.isSet(groupOption)) {
        options.group = true;
        options.listName = parser.value(groupOption);
    }
    return options;
}

std::optional<MailtoLinks::Field> composeOf(const QCommandLineParser &parser)
{
    if (!parser.isSet(composeOption))
        return std::nullopt;
    return parser.value(composeOption) == u"to" ? MailtoLinks::Field::To : MailtoLinks::Field::Bcc;
}

bool bouncedOf(const QCommandLineParser &parser)
{
    return parser.isSet(bouncedOption);
}

bool readMessage(const QCommandLineParser &parser, MailtoLinks::Message &message)
{
    message.to = parser.value(toOption);
    message.subject = parser.value(subjectOption);
    if (!parser.isSet(bodyFileOption))
        return true;
    const QString path = parser.value(bodyFileOption);
    try {
        const std::optional<QByteArray> body = readOrdinaryFile(path);
        if (!body)
            throw Failure(QStringLiteral("File not found"));
        message.body = decodeListFile(*body);
        return true;
    } catch (const Failure &failure) {
        std::fprintf(stderr, "kestrava: %s: %s\n", qPrintable(path), qPrintable(failure.description()));
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "kestrava: %s: Out of memory\n", qPrintable(path));
    }
    return false;
}

QString reportPathOf(const QCommandLineParser &parser)
{
    return parser.value(reportOption);
}

qsizetype fromRecipientOf(const QCommandLineParser &parser)
{
    return parser.isSet(fromRecipientOption) ? wholeNumber(parser.value(fromRecipientOption)) : 1;
}
