// KeyMap: the loaded key map file and the lookup of server keys.
#pragma once

#include "../platform/Export.h"
#include "KeyMapEntry.h"

#include <list>
#include <string>

namespace brenn::matchmaking {

// The key map says, one line each, which server key fills which section and
// key of a ServerData:
//
//     section.key=serverKey;optional comment
//
// A line is split like strtok would: the section runs from the first
// character that is not '.' up to the next '.'; the key from the first
// character after that which is not '=' up to the next '='; the server key
// from the first character after that which is neither '#' nor ';' up to the
// next '#' or ';' or the end of the line. A line lacking one of the three
// parts, or with a part longer than MaxPartLength, yields no entry. Blanks
// are kept; the line's terminator ("\n", "\r\n" or "\r") is not part of it.
// Lines may have any length.
class BRENN_EXPORT KeyMap {
public:
    static constexpr std::size_t MaxPartLength = 127;

    // Loads the file at fileName (opened through the platform layer, so '\'
    // separators work everywhere). Each usable line enters entries() at the
    // front, so the list runs in reverse file order. If the file cannot be
    // opened the platform shows "Error: Couldn't find Key Map file: <path>"
    // with the caption "Error locating file" and the map stays empty. A read
    // error ends loading; the entries read so far stay.
    explicit KeyMap(const std::string& fileName);
    // Loads the file at fileName as above, but shows nothing when it cannot
    // be opened: *read (unless null) is set to true when the file was opened
    // and read to its end, false when it could not be opened (the map stays
    // empty) or a read failed (the entries read so far stay), as when the
    // path names a folder. For hosts that tell of a missing map their own way.
    KeyMap(const std::string& fileName, bool* read);

    // The serverKey of the first entry (the last such file line) whose key
    // equals key exactly, case-sensitively; else key itself. The result is
    // borrowed from the map or from the argument: copy it before either goes.
    const std::string& lookup(const std::string& key) const;

    // The entries, last usable file line first.
    const std::list<KeyMapEntry>& entries() const { return entries_; }
    // The path the map was loaded from.
    const std::string& fileName() const { return fileName_; }

private:
    enum class Loading { Read, NotOpened, ReadFailed };
    // Reads the file's lines into the map; says how far it got.
    Loading load();
    // Adds the entry that one line (without its terminator) yields, if any.
    void addLine(const std::string& line);

    std::list<KeyMapEntry> entries_;
    std::string fileName_;
};

}  // namespace brenn::matchmaking
