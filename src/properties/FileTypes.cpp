#include "FileTypes.h"

#include "platform/posix/CommandText.h"
#include "startup/Globals.h"

namespace quavix {

namespace {
const char* const Section = "OriginalAssociations";
} // namespace

const std::array<FileType, FileTypeCount>& fileTypes()
{
    static const std::array<FileType, FileTypeCount> table = {{
        {".MP3", "MP3 Files (*.mp3)", "MP3"},
        {".WAV", "WAV Files (*.wav)", "WAV"},
        {".ASF", "NetShow Files (*.asf)", "ASF"},
        {".ASX", "NetShow Files (*.asx)", "ASX"},
        {".RA", "RealMedia Files (*.ra)", "RA"},
        {".RAM", "RealMedia Files (*.ram)", "RAM"},
        {".RM", "RealMedia Files (*.rm)", "RM"},
        {".RMM", "RealMedia Files (*.rmm)", "RMM"},
        {".MID", "MIDI Files (*.mid)", "MID"},
        {".RMI", "MIDI Files (*.rmi)", "RMI"},
        {".AU", "Sound Files (*.au)", "AU"},
        {".SND", "Sound Files (*.snd)", "SND"},
    }};
    return table;
}

FileAssociations::FileAssociations(ClassesRegistry& registry, OptionsStore& store)
    : m_registry(registry), m_store(store)
{
}

void FileAssociations::load()
{
    for (int i = 0; i < FileTypeCount; ++i)
        m_rows[static_cast<std::size_t>(i)].original =
            fGetOriginalAssociation(fileTypes()[static_cast<std::size_t>(i)].extension);
    refreshCurrent();
}

std::string FileAssociations::fGetCurrentAssociation(const std::string& extension)
{
    // A type nobody owns shows as an empty text.
    return m_registry.queryValue(extension).value_or(std::string());
}

std::string FileAssociations::fGetOriginalAssociation(const std::string& extension)
{
    return m_store.get(ProgramTitle, Section, extension, NoAssociation);
}

AssociationOutcome FileAssociations::fSetAssociation(int i)
{
    const Row& r = row(i);
    return change(i, r.current, ProgramTitle);
}

AssociationOutcome FileAssociations::fResetAssociation(int i)
{
    const Row& r = row(i);
    return change(i, NoAssociation, r.original);
}

AssociationOutcome FileAssociations::change(int i, const std::string& remember,
                                            const std::string& owner)
{
    const std::string extension = fileTypes().at(static_cast<std::size_t>(i)).extension;
    Row& r = m_rows[static_cast<std::size_t>(i)];
    const std::string remembered = r.original;
    // A type handed to a class that does not exist opens with nothing: the class key comes
    // back first (the first start made it; it may have been removed since), and where it
    // cannot be written nothing else changes.
    if (owner == ProgramTitle && !m_registry.queryValue(ProgramTitle)) {
        const std::string command = std::string(ProgramTitle) + "\\shell\\open\\command";
        if (!m_registry.setValue(ProgramTitle, ProgramTitle) ||
            !m_registry.setValue(command, command::openCommand(command::launcherPath())))
            return {false, m_registry.location(ProgramTitle)};
    }
    if (!m_store.save(ProgramTitle, Section, extension, remember))
        return {false, m_store.location()};
    if (!m_registry.setValue(extension, owner)) {
        // The owner did not change, so neither may the memory of the previous one.
        m_store.save(ProgramTitle, Section, extension, remembered);
        return {false, m_registry.location(extension)};
    }
    r.original = remember;
    r.current = owner;
    refreshCurrent();
    return {};
}

void FileAssociations::refreshCurrent()
{
    for (int i = 0; i < FileTypeCount; ++i)
        m_rows[static_cast<std::size_t>(i)].current =
            fGetCurrentAssociation(fileTypes()[static_cast<std::size_t>(i)].extension);
}

std::string FileAssociations::currentText(int i)
{
    return m_registry.displayName(row(i).current);
}

std::string FileAssociations::originalText(int i)
{
    const std::string& original = row(i).original;
    return original == NoAssociation ? original : m_registry.displayName(original);
}

} // namespace quavix
