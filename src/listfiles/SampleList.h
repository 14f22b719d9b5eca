#pragma once

#include <QString>

// The built-in sample list: seven addresses, one to a line, CR LF between them.
QString sampleListText();
