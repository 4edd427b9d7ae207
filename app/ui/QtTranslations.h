#pragma once

class QCoreApplication;

// Qt's own texts (the file dialog's buttons and labels, the standard buttons of message boxes)
// in Russian, like the rest of the program: makes Russian the default locale (dates and sizes
// in the file dialog) and loads Qt's "qtbase_ru" translation from Qt's translations folder into
// a translator owned by `app`. Returns false, leaving Qt's English texts, when the translation
// is not installed.
bool installQtTranslations(QCoreApplication& app);
