#pragma once

#include <QString>

class MessageBox;
class TextArea;

// Appends the lines of a list file to a text area, each followed by CR LF, in
// one update. A missing file shows "File not found" and appends nothing.
void readLinesInto(TextArea &target, const QString &path, MessageBox &boxes);

// Writes a text area's whole text to a file, after asking whether to
// overwrite a file that exists there. No leaves that file as it was.
void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes);
