#include "scanner/ScanJournal.h"

namespace {

const QString kPairSeparator = QStringLiteral(" × ");

QString pair(const QString& first, const QString& second) {
    return first + kPairSeparator + second;
}

void splitPair(const QString& text, QString& first, QString& second) {
    const qsizetype at = text.indexOf(kPairSeparator);
    if (at < 0) return;
    first = text.left(at);
    second = text.mid(at + kPairSeparator.size());
}

}  // namespace

QList<JournalEntry> scanJournalEntries(const ScanJournalFields& fields) {
    const ScanFieldTexts& scan = fields.scan;
    return {
        {QStringLiteral("mesh"), QStringLiteral("сетка"), pair(scan.meshWidth, scan.meshHeight)},
        {QStringLiteral("area"), QStringLiteral("область, мм"),
         pair(scan.areaWidth, scan.areaHeight)},
        {QStringLiteral("image"), QStringLiteral("размер картинки сканера"),
         pair(fields.imageWidth, fields.imageHeight)}};
}

ScanJournalFields scanFieldsOfJournal(const JobJournalRecord& journal) {
    ScanJournalFields fields;
    splitPair(journal.value(QStringLiteral("mesh")), fields.scan.meshWidth, fields.scan.meshHeight);
    splitPair(journal.value(QStringLiteral("area")), fields.scan.areaWidth, fields.scan.areaHeight);
    splitPair(journal.value(QStringLiteral("image")), fields.imageWidth, fields.imageHeight);
    return fields;
}
