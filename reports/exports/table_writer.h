#pragma once
// The statistics exports: a table of the statistics page dumped as the page
// shows it (periodic and standard statistics), and the session table as two
// lines (session statistics).
#include "reports/exports/export_text.h"
#include "reports/exports/statistics_tables.h"

namespace rc {

// First column 0 in a scripted session, 4 (5 with the step option 1) in an
// open session; column 4 is left out of a scripted session with the step
// option 1. With the header flag a line of column titles (at most 255
// characters each) comes first. Cells are separated by the column separator;
// each line ends with "\n".
void writeTableExport(ExportFile& file, const TextTable& table, bool header, bool scripted, int statisticOption,
                      char list);

// Line A (the captions) with the header flag, then line B (the values).
void writeSessionExport(ExportFile& file, const TextTable& sessionTable, bool header, char list);

}  // namespace rc
