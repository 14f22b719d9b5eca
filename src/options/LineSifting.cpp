#include "options/LineSifting.h"

#include "addresses/AddressAdvice.h"
#include "addresses/AddressCharacters.h"
#include "addresses/AddressCheck.h"
#include "core/Blanks.h"
#include "options/ListedAddresses.h"

namespace ListCommand {

bool isPlainAddress(QByteArrayView text)
{
    return AddressCharacters::isPlainAddress(text.data(), text.size());
}

QByteArray toldText(QByteArrayView line, qsizetype length)
{
    constexpr qsizetype shown = 80;
    if (length <= 2 * shown)
        return line.toByteArray();
    qsizetype cut = shown;
    while (cut > 0 && (uchar(line[cut]) & 0xC0) == 0x80)
        --cut;
    return line.first(cut).toByteArray() + "\u2026 (" + QByteArray::number(length) + " bytes)";
}

QByteArrayView withoutLeadingBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
        text = text.sliced(1);
    return text;
}

QByteArrayView withoutTrailingBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
        text.chop(1);
    return text;
}

void sift(Line &line, Told &told, const Options &options, const ListedAddresses *excluded, const RequiredLists &only,
          AddressAdvice &adviser)
{
    if (options.trim)
        line.text = Blanks::trimmed(line.text);
    const QByteArrayView text = Blanks::trimmed(line.text);
    line.kept = false;
    if (options.check && !text.isEmpty()) {
        AddressAdvice::Advice advice;
        if (isPlainAddress(text)) {
            if (options.warnings)
                advice = adviser.onAddress(text);
        } else {
            const QString decoded = QString::fromUtf8(line.text);
            const QStringView address = AddressCheck::address(decoded);
            if (address.isEmpty()) {
                told.reason = AddressCheck::check(decoded).reason;
                return;
            }
            if (options.warnings)
                advice = adviser.onAddress(address.toUtf8());
        }
        if (!advice.warning.isEmpty())
            told = {advice.warning, true};
    }
    if (!options.join)
        return;
    line.empty = options.skipEmpty && text.isEmpty();
    if (!line.empty)
        line.listed = excluded ? excluded->listHolding(line.text) : -1;
    if (!line.empty && line.listed < 0)
        line.notIn = firstNotHolding(only, line.text);
    line.kept = !line.empty && line.listed < 0 && line.notIn < 0;
}

} // namespace ListCommand
