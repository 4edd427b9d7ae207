#pragma once

#include <QList>
#include <QString>

#include "link/protocol/JobJournal.h"
#include "scanner/ScanSurface.h"

// The scanner window's fields that shape a scan's lines, as its journal names them.
struct ScanJournalFields {
    ScanFieldTexts scan;
    QString imageWidth;  // Text6, Text7: the scanner picture's size, pixels
    QString imageHeight;
};

// The journal entries of a scan's fields: "сетка", "область, мм" and the picture's size, each
// pair of texts joined by " × " (a size may carry a decimal comma).
QList<JournalEntry> scanJournalEntries(const ScanJournalFields& fields);

// The fields a journal's entries name; texts the journal does not hold stay empty.
ScanJournalFields scanFieldsOfJournal(const JobJournalRecord& journal);
