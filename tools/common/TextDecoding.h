// Values as servers sent them are bytes, not text: servers of this game
// predate UTF-8. Before a tool (lanbrowse, lanserver) prints or serialises
// one it decodes it: valid UTF-8 stays as it is, any other byte is read as
// Windows-1252.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace tooltext {

// bytes as UTF-8: each valid UTF-8 sequence kept, every other byte taken
// as a Windows-1252 character (the five bytes it leaves undefined as the
// control characters of the same number). Never fails.
std::string decodeText(const std::string& bytes);

// bytes, decoded, as a JSON string value. Objects keep their keys in the
// order they were set, as the tools' readers see them.
using Json = nlohmann::ordered_json;
Json jsonText(const std::string& bytes);

// value as one line of JSON (valid UTF-8: every string in it was decoded).
std::string jsonLine(const Json& value);

// The characters of UTF-8 text (its bytes that do not continue a sequence).
std::size_t characterCount(const std::string& utf8);

}  // namespace tooltext
