// Table texts: the whole-text reader and the line splitter.

#include "FuzzTarget.h"
#include "zentravilo/util/Csv.h"

QA_FUZZ_TARGET(CsvFuzz) {
  zentravilo::util::Csv table(input);
  for (int row = 0; row < table.getLineCount(); ++row)
    for (int column = 0; column < table.getColumnCount(); ++column) table.getValueAt(row, column);
  table.removeEmptyLines();
  table.removeDuplicates();
  zentravilo::util::Csv::split(input.substr(0, input.find('\n')));
}
