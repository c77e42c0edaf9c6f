#pragma once

#include <string>

class QCoreApplication;

// Qt's own texts (the file and folder dialogs, standard buttons) in Japanese, from the
// distribution's Qt translations. Returns the file it loaded; empty when there is none, and
// the dialogs then stay in English.
std::string InstallQtJapanese(QCoreApplication& pApp);
