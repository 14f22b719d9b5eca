// The input menu's entries for lists of addresses in files: those the
// files list go, or only those every file lists stay.
#include "form/InputMenu.h"

#include "join/LineJoiner.h"
#include "options/ListedAddresses.h"
#include "textview/TextArea.h"

// The lines whose addresses the files list go; the counts line tells how
// many went.
void InputMenu::removeListedAddresses()
{
    workOnListed(RemovalReport::Step::RemoveListed, tr("Remove Addresses Listed in File"),
                 [sameMailbox = sameMailbox()](const QList<QStringView> &lines, const QList<ListedFile> &listed,
                                               ListTidying::Progress &progress, RemovalReport &report) {
                     auto addresses = std::make_shared<ListedAddresses>(sameMailbox);
                     QStringList names;
                     for (const auto &[name, text] : listed) {
                         if (!names.isEmpty())
                             addresses->nextList();
                         names.append(name);
                         for (QStringView line : LineJoiner::cutAtLineBreaks(text))
                             addresses->addLine(line);
                     }
                     addresses->finish();
                     ListTidying::Places kept = ListTidying(lines, &progress).withoutListed(*addresses);
                     report.setLists(std::move(addresses), std::move(names));
                     return kept;
                 });
}

// The lines whose address every file chosen holds stay, in one step.
void InputMenu::keepListedAddresses()
{
    workOnListed(RemovalReport::Step::KeepListed, tr("Keep Only Addresses Listed in File"),
                 [sameMailbox = sameMailbox()](const QList<QStringView> &lines, const QList<ListedFile> &listed,
                                               ListTidying::Progress &progress, RemovalReport &report) {
                     RequiredLists required;
                     QStringList names;
                     for (const auto &[name, text] : listed) {
                         auto addresses = std::make_shared<ListedAddresses>(sameMailbox);
                         for (QStringView line : LineJoiner::cutAtLineBreaks(text))
                             addresses->addLine(line);
                         addresses->finish();
                         required.push_back(std::move(addresses));
                         names.append(name);
                     }
                     ListTidying::Places kept = ListTidying(lines, &progress).onlyListed(required);
                     report.setRequiredLists(std::move(required), std::move(names));
                     return kept;
                 });
}

// Asks for the lists, then keeps the lines keep gives, in one step with
// its report.
void InputMenu::workOnListed(RemovalReport::Step step, const QString &title, const KeepListed &keep)
{
    const std::optional<QList<ListedFile>> listed = m_listedAddresses(title + tr("(s)"));
    if (!listed)
        return;
    stopCounting();
    auto report = std::make_shared<RemovalReport>(step);
    const std::pair<qsizetype, qsizetype> scope = this->scope();
    m_work.start(
        title, scope,
        [listed = *listed, report, keep](QStringView text, ListTidying::Progress &progress) {
            const QList<QStringView> lines = LineJoiner::cutAtLineBreaks(text);
            InputWork::Lines made = InputWork::Lines::chosen(lines, keep(lines, listed, progress, *report));
            report->noteRemoved(lines, made.views);
            return made;
        },
        keepReport(report, scope));
}
