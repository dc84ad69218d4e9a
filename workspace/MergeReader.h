#pragma once
// The main window's merge tokenizer (Reader1): blanks without the line ends,
// the standard delimiters less "_" (it belongs to field names), and CR and LF
// as delimiters of their own, so a tag ends at a line end.

class TReader;

void SetUpMergeReader(TReader& reader);
