#pragma once

#include "lookup/clipresolver.h"
#include "lookup/searchfoldermodel.h"
#include "lookup/substitutionmodel.h"

namespace lintaro {
class Interaction;
class SettingsStore;
} // namespace lintaro

namespace lintaro::cli {

// The search folder list and the substitution table the program itself uses,
// with a resolver over them, for a tool that never writes them back: the
// interaction it is given cancels every prompt, so no pair is ever added.
class ReadOnlyLookups
{
public:
    ReadOnlyLookups(SettingsStore &settings, Interaction &interaction);

    // Reads Folders.cfg and Subst.cfg from the program's configuration folder,
    // creating nothing there. Throws Failure for a file that cannot be read.
    void load();

    ClipResolver &resolver() { return m_resolver; }

private:
    SearchFolderModel m_folders;
    SubstitutionModel m_substitutions;
    ClipResolver m_resolver;
};

} // namespace lintaro::cli
