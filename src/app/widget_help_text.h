#pragma once
// The user guide shown on the help page.

#include <QString>

QString HelpText();
