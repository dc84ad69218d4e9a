#include "workspace/MergeReader.h"

#include "toolkit/Reader.h"

void SetUpMergeReader(TReader& reader) {
  reader.SetDefaultBlanks();
  reader.RemoveBlankChar('\n');
  reader.RemoveBlankChar('\r');
  reader.SetStandardDelimiters();
  reader.DeleteWord("_");
  reader.AddDelimiter("\n", 0, -1, nullptr);
  reader.AddDelimiter("\r", 0, -1, nullptr);
}
