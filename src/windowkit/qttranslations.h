#pragma once

namespace vellaro {

// Qt's own texts (a text field's context menu, standard buttons, file dialogs) in Bulgarian, the
// program's language, from the translations Qt's packages install. Call it once the application
// exists and before any window is built. Returns false when they are not installed; those texts
// then stay English.
bool installQtTranslations();

} // namespace vellaro
