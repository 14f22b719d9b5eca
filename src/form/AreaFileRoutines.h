#pragma once

#include <QString>

class MessageBox;
class TextArea;

// The name a list made of an address book or mail is proposed to be saved
// under: its own, ending in .txt (mail.mbox gives mail.txt).
QString asTextFile(const QString &path);

// Writes a text area's whole text to a file, after asking whether to
// overwrite a file that exists there. No leaves that file as it was.
void writeAreaToFile(const TextArea &source, const QString &path, MessageBox &boxes);
