// Committing an edit of the display bitmap to the document.
#pragma once

class TIMAGE_INFO;

// Copies the display bitmap (converted to 24 bits) into the context's working pixel buffer
// (3 bytes a pixel, no padding), takes its size as the document's and the context's size
// and sets the edited flag of both, so that writers and colour reduction take the edited
// picture. Returns kOk or a
// sizing code (the document is unchanged then).
int CommitEdit(TIMAGE_INFO& doc);

// The copy alone: the working pixel buffer and the context's size take the display
// bitmap's picture (converted to 24 bits) and the context's work_behind flag is cleared;
// the edited flags stay as they are. Returns kOk or a sizing code.
int CopyDisplayToWork(TIMAGE_INFO& doc);
