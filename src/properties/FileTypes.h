#pragma once
// The File Types page without its widgets: the twelve file types, what each row shows and
// the Set and Reset operations on the classes registry and the options store.
//
// A row holds two class values: `current`, the extension's default application as last read
// from the registry, and `original`, the remembered previous owner ("<none>" when nothing is
// remembered, stored under "OriginalAssociations" / extension). Set and Reset act on these
// values, not on a fresh read; afterwards every row's current value is read again, because
// extensions of one MIME type (.AU and .SND, ...) share their default application.
//
// A Set or Reset that cannot write leaves the store, the registry and every row as they
// were and names the file that could not be written.
#include "platform/ClassesRegistry.h"
#include "platform/OptionsStore.h"

#include <array>
#include <string>

namespace quavix {

inline constexpr const char* NoAssociation = "<none>";

struct FileType {
    const char* extension; // ".MP3"
    const char* caption;   // "MP3 Files (*.mp3)"
    const char* name;      // "MP3": the row's controls are lblCurrentMP3, cmdMP3Set, ...
};

inline constexpr int FileTypeCount = 12;
// In the program's order, used for loading and for the first-run seeding.
const std::array<FileType, FileTypeCount>& fileTypes();

struct AssociationOutcome {
    bool ok = true;
    std::string file; // the file that could not be written, when !ok
};

class FileAssociations {
public:
    struct Row {
        std::string current, original = NoAssociation;
    };

    FileAssociations(ClassesRegistry& registry, OptionsStore& store);

    // Fills the page: every row's previous owner in table order, then every current owner.
    void load();
    std::string fGetCurrentAssociation(const std::string& extension);
    std::string fGetOriginalAssociation(const std::string& extension);
    // Makes Quavix the owner of row i, remembering its current owner.
    AssociationOutcome fSetAssociation(int i);
    // Gives row i back to the remembered owner and forgets it.
    AssociationOutcome fResetAssociation(int i);

    const Row& row(int i) const { return m_rows.at(static_cast<std::size_t>(i)); }
    // The labels' texts: application names as the registry shows them; "<none>" as it is.
    std::string currentText(int i);
    std::string originalText(int i);
    // Exactly one of Set and Reset is usable: Set while nothing is remembered.
    bool setUsable(int i) const { return row(i).original == NoAssociation; }

private:
    AssociationOutcome change(int i, const std::string& remember, const std::string& owner);
    void refreshCurrent();

    ClassesRegistry& m_registry;
    OptionsStore& m_store;
    std::array<Row, FileTypeCount> m_rows;
};

} // namespace quavix
