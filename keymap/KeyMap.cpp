// KeyMap: loading the key map file line by line, and lookup.
#include "keymap/KeyMap.h"

#include "platform/Platform.h"

#include <cstdio>
#include <string_view>

namespace brenn::matchmaking {

namespace {

// Reads one whole line into line, without its terminator ("\n", "\r\n" or a
// final "\r"). False when nothing more could be read (end of file or error).
// Read byte by byte: a NUL inside the line must not hide its "\n" (the line
// would swallow the next one).
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    bool readAny = false;
    for (int c; (c = std::getc(file)) != EOF;) {
        readAny = true;
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return readAny;
}

// The next token of text from position pos, as strtok finds it: delimiters
// at pos are skipped, the token runs to the next delimiter or the end, and
// pos moves past that delimiter. False, with pos at the end, when only
// delimiters are left.
bool nextToken(std::string_view text, std::size_t& pos, std::string_view delimiters,
               std::string_view& token) {
    std::size_t start = text.find_first_not_of(delimiters, pos);
    if (start == std::string_view::npos) {
        pos = text.size();
        return false;
    }
    std::size_t end = text.find_first_of(delimiters, start);
    if (end == std::string_view::npos) {
        token = text.substr(start);
        pos = text.size();
    } else {
        token = text.substr(start, end - start);
        pos = end + 1;
    }
    return true;
}

}  // namespace

KeyMap::KeyMap(const std::string& fileName) : fileName_(fileName) {
    if (load() == Loading::NotOpened) {
        const std::string message = "Error: Couldn't find Key Map file: " + fileName_;
        platform::showMessage(message.c_str(), "Error locating file");
    }
}

KeyMap::KeyMap(const std::string& fileName, bool* read) : fileName_(fileName) {
    const bool whole = load() == Loading::Read;
    if (read != nullptr) *read = whole;
}

KeyMap::Loading KeyMap::load() {
    std::FILE* file = platform::openTextFile(fileName_.c_str());
    if (file == nullptr) return Loading::NotOpened;
    std::string line;
    while (readLine(file, line)) addLine(line);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return failed ? Loading::ReadFailed : Loading::Read;
}

void KeyMap::addLine(const std::string& line) {
    std::string_view text(line.c_str());  // a NUL byte ends the line's text
    std::size_t pos = 0;
    std::string_view section, key, serverKey;
    if (!nextToken(text, pos, ".", section)) return;
    if (!nextToken(text, pos, "=", key)) return;
    if (!nextToken(text, pos, "#;", serverKey)) return;
    if (section.size() > MaxPartLength || key.size() > MaxPartLength ||
        serverKey.size() > MaxPartLength)
        return;
    entries_.emplace_front(std::string(section), std::string(key), std::string(serverKey));
}

const std::string& KeyMap::lookup(const std::string& key) const {
    for (const KeyMapEntry& entry : entries_) {
        if (entry.key == key) return entry.serverKey;
    }
    return key;
}

}  // namespace brenn::matchmaking
