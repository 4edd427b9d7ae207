#pragma once

#include <QString>

struct JobJournalRecord;

// What the start-up box says of a job that did not end, from its journal: the job, its window,
// its picture, the lines the machine was sent and whether it can be continued there. Empty
// when the journal names no working window of the program.
QString unfinishedJobText(const JobJournalRecord& journal);
